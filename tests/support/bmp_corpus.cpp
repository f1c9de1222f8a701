#include "support/bmp_corpus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/bitmap_file.h"

namespace fs = std::filesystem;

fs::path CorpusDir() {
  const char* env = std::getenv("DAUBIX_BMPSUITE");
  return env && *env ? fs::path(env) : fs::path(DAUBIX_BMPSUITE_DIR);
}

std::vector<CorpusEntry> ReadCorpus(const fs::path& dir) {
  std::vector<CorpusEntry> entries;
  std::ifstream in(dir / "expected.tsv");
  EXPECT_TRUE(in.is_open()) << "BMP corpus missing at " << dir.string();
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    CorpusEntry e;
    if (!std::getline(fields, e.file, '\t') || !std::getline(fields, e.reference)) continue;
    if (e.reference == "-") e.reference.clear();
    entries.push_back(e);
  }
  return entries;
}

// The listed rendering of pal8nonsquare ("-v") is the picture stretched to a
// square pixel aspect with smoothing (127x64, blended colours), which no reader
// that keeps the file's pixels can match; the exact rendering "-e" is the one
// for a reader that, like ours, ignores the resolution fields.
std::string ReferenceFor(const CorpusEntry& entry) {
  return entry.file == "g/pal8nonsquare.bmp" ? "ref/pal8nonsquare-e.png" : entry.reference;
}

int ForEachGoodFile(const fs::path& dir,
                    const std::function<void(const CorpusEntry&, const TBitmap&)>& check) {
  int read = 0;
  for (const CorpusEntry& e : ReadCorpus(dir)) {
    if (!e.file.starts_with("g/")) continue;
    SCOPED_TRACE(e.file);
    TBitmap b;
    try {
      b.LoadFromFile((dir / e.file).string());
    } catch (const EDaubixError& error) {
      ADD_FAILURE() << "refused: " << error.what();
      continue;
    }
    check(e, b);
    ++read;
  }
  return read;
}
