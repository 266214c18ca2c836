// import CSVFILE: the recording the window's "Import data" builds from a CSV file of single
// samples, printed in the "dump" layout, so that a file can be checked before it is loaded.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "data/CsvImport.h"
#include "data/Text.h"

#include <cstdio>

int RunImportCommand(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].starts_with("-"))
        return UsageError("usage: import CSVFILE");
    const CsvImport imported = ImportCsvFile(args[0]);
    if (imported.failure)
        std::fprintf(stderr, "%s\n", GbkToUtf8(imported.failure->text).c_str());
    return PrintDump(imported.failure, imported.info, imported.channels);
}
