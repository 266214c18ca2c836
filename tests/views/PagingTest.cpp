#include "views/Paging.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

enum class Move { First, Previous, Next, Last };

struct Step {
    Move move;
    PageWindow page;
    PageButtons buttons;
};

struct PagingCase {
    const char* name;
    size_t rows;
    uint32_t pageSize;
    PageWindow firstPage;
    PageButtons firstButtons;
    std::vector<Step> steps;
};

class PagingWalk : public ::testing::TestWithParam<PagingCase> {};

constexpr PageButtons AllOn{true, true, true, true};
constexpr PageButtons ForwardOnly{false, false, true, true};
constexpr PageButtons BackOnly{true, true, false, false};
constexpr PageButtons AllOff{};

} // namespace

TEST_P(PagingWalk, PagesAndButtons) {
    const PagingCase& c = GetParam();
    PageWindow page;
    PageButtons buttons;
    ShowFirstPage(page, buttons, c.rows, c.pageSize);
    EXPECT_EQ(page, c.firstPage);
    EXPECT_EQ(buttons, c.firstButtons);
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& s = c.steps[i];
        switch (s.move) {
        case Move::First:
            HomePage(page, buttons, c.pageSize);
            break;
        case Move::Previous:
            PreviousPage(page, buttons, c.pageSize);
            break;
        case Move::Next:
            NextPage(page, buttons, c.rows, c.pageSize);
            break;
        case Move::Last:
            LastPage(page, buttons, c.rows, c.pageSize);
            break;
        }
        EXPECT_EQ(page, s.page) << "step " << i;
        EXPECT_EQ(buttons, s.buttons) << "step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PagingWalk,
    ::testing::Values(PagingCase{"ForwardAndBack1234",
                                 1234,
                                 500,
                                 {0, 500, 500},
                                 ForwardOnly,
                                 {{Move::Next, {500, 1000, 500}, AllOn},
                                  {Move::Next, {1000, 1500, 234}, BackOnly},
                                  {Move::Previous, {500, 1000, 500}, AllOn},
                                  {Move::Previous, {0, 500, 500}, ForwardOnly}}},
                      PagingCase{"LastThenPrevious1234",
                                 1234,
                                 500,
                                 {0, 500, 500},
                                 ForwardOnly,
                                 {{Move::Last, {1000, 1234, 234}, BackOnly},
                                  {Move::Previous, {500, 1000, 500}, AllOn},
                                  {Move::First, {0, 500, 500}, ForwardOnly}}},
                      PagingCase{"LastOfWholePages1000",
                                 1000,
                                 500,
                                 {0, 500, 500},
                                 ForwardOnly,
                                 {{Move::Last, {500, 1000, 500}, BackOnly},
                                  {Move::Previous, {0, 500, 500}, ForwardOnly}}},
                      PagingCase{"OnePage500", 500, 500, {0, 500, 500}, AllOff, {}},
                      PagingCase{"NoRows", 0, 500, {0, 0, 0}, AllOff, {}},
                      PagingCase{"ImpossibleMovesChangeNothing",
                                 300,
                                 100,
                                 {0, 100, 100},
                                 ForwardOnly,
                                 {{Move::Previous, {0, 100, 100}, ForwardOnly},
                                  {Move::Last, {200, 300, 100}, BackOnly},
                                  {Move::Next, {200, 300, 100}, BackOnly}}}),
    [](const auto& info) { return std::string(info.param.name); });
