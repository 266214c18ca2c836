// Preloaded into the tool by its tests (LD_PRELOAD): every allocation larger than
// RECORDER_ALLOCATION_LIMIT bytes fails with std::bad_alloc, as when memory runs out, wherever
// it happens (a worker thread of a join included). Without the variable nothing fails.

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

size_t Limit() {
    static const size_t limit = [] {
        const char* text = std::getenv("RECORDER_ALLOCATION_LIMIT");
        return text ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : SIZE_MAX;
    }();
    return limit;
}

} // namespace

void* operator new(std::size_t size) {
    if (size > Limit())
        throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

// The library's temporary buffers (std::stable_sort) take memory without exceptions: their
// allocation has to come from here too, or it would be freed by this file's delete.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (size > Limit())
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
