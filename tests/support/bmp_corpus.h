// The public BMP corpus under tests/data/bmpsuite: its file list and the
// reference rendering each good file should look like.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/surface.h"

struct CorpusEntry {
  std::string file;       // e.g. "g/pal8.bmp"
  std::string reference;  // e.g. "ref/pal8.png", empty for none
};

// The corpus folder; DAUBIX_BMPSUITE in the environment points elsewhere.
std::filesystem::path CorpusDir();
// Every entry of expected.tsv; fails the calling test when the corpus is missing.
std::vector<CorpusEntry> ReadCorpus(const std::filesystem::path& dir);
// The reference a reader that keeps the file's pixels should match.
std::string ReferenceFor(const CorpusEntry& entry);

// Reads every good file ("g/") of the corpus and hands it to check; a refused
// file fails the calling test. Returns how many were read.
int ForEachGoodFile(const std::filesystem::path& dir,
                    const std::function<void(const CorpusEntry&, const TBitmap&)>& check);
