// The benchmark's database: the demo schema filled with N purchase lines of
// a shop's shape, and the fresh copies every variant runs on.
#pragma once

#include <string>

#include "FbClient.h"

namespace bench {

// How the generated lines spread over providers and products. Every provider
// buys from a catalogue of its own; a bill holds 3 to 12 distinct products;
// each provider gets at most one bill a day, so no two lines share provider,
// product and date (the scan order then decides every pair's last line).
// About a hundred lines per provider keep a budgeted run's stop (at the end of
// a provider's lines) close to its budget.
struct DataShape {
    int lines = 0;
    int providers = 0;
    int products = 0;
    int catalogue = 40;
};

DataShape shapeFor(int lines);

// The EXECUTE BLOCK that writes the document lines: about 5% without a
// positive price (null, zero, negative), a few nulls in the optional columns.
std::string linesBlock(const DataShape& shape);
// The EXECUTE BLOCK that writes the history as an older run left it: rows for
// about a third of the pairs (a few twice), a few with a null product key,
// and rows of providers no line mentions.
std::string historyBlock(const DataShape& shape);

// Creates the database file at `path` (replaced when it exists) and fills it.
// Forced writes are left off.
void createBenchDatabase(const std::string& path, int lines, const std::string& password);

// Copies the database file to `target`, readable and writable by everyone (the
// server process must open it), and switches its forced writes as asked.
void copyDatabase(const std::string& source, const std::string& target, bool forcedWrites,
                  const std::string& password);

}  // namespace bench
