#include "converter/targets/navigon_oem_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "converter/common/banner.h"
#include "converter/targets/target_file.h"

namespace converter {
namespace {

constexpr size_t kNameBlockSize = 8192;
constexpr size_t kMaxNameLength = 254;
constexpr int32_t kLeafMark = 0x45;
constexpr int32_t kBoxMark = 0x42;
constexpr size_t kLeafEntrySize = 16;
constexpr size_t kBoxEntrySize = 20;
constexpr size_t kBlockHeadSize = 8;

// A subcategory whose font size code has no size bits shows no texts on the map.
bool ShowsTexts(const ConverterConfig& config, const ParsedPoi& poi) {
  if (poi.subcategory < 0 || static_cast<size_t>(poi.subcategory) >= config.subcategories.size()) return true;
  return (config.subcategories[static_cast<size_t>(poi.subcategory)].fontSizeCode & 0x3FFF) != 0;
}

// Name entries packed into 8192-byte blocks: the reader pages through whole blocks, so an entry
// never straddles two of them.
class NameBlocks {
 public:
  explicit NameBlocks(OutputFile& out) : out_(out) {}

  int32_t Add(std::string_view text) {
    const size_t length = std::min(text.size(), kMaxNameLength);
    if (length + 3 > kNameBlockSize - fill_) {
      std::memset(block_ + fill_, 0, kNameBlockSize - fill_);
      out_.Write(block_, kNameBlockSize);
      blockOffset_ += kNameBlockSize;
      fill_ = 0;
    }
    const uint64_t offset = blockOffset_ + fill_;
    block_[fill_] = static_cast<uint8_t>(length);
    std::memcpy(block_ + fill_ + 1, text.data(), length);
    block_[fill_ + 1 + length] = 0x02;
    block_[fill_ + 2 + length] = 0x7C;
    fill_ += length + 3;
    return static_cast<int32_t>(offset);
  }

  // The last block ends with its last entry.
  void Finish() { out_.Write(block_, fill_); }

 private:
  OutputFile& out_;
  uint8_t block_[kNameBlockSize];
  size_t fill_ = 0;
  uint64_t blockOffset_ = 0;
};

struct Box {
  int32_t minX = std::numeric_limits<int32_t>::max();
  int32_t minY = std::numeric_limits<int32_t>::max();
  int32_t maxX = std::numeric_limits<int32_t>::min();
  int32_t maxY = std::numeric_limits<int32_t>::min();

  void Add(int32_t x, int32_t y) {
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
  void Add(const Box& other) {
    Add(other.minX, other.minY);
    Add(other.maxX, other.maxY);
  }
};

void PutBoxEntry(uint8_t* at, const Box& box, int blockNumber) {
  PutLe32(at, static_cast<uint32_t>(box.minX));
  PutLe32(at + 4, static_cast<uint32_t>(box.minY));
  PutLe32(at + 8, static_cast<uint32_t>(box.maxX));
  PutLe32(at + 12, static_cast<uint32_t>(box.maxY));
  PutLe32(at + 16, static_cast<uint32_t>(blockNumber));
}

void PutBlockHead(uint8_t* block, int32_t mark, size_t entries) {
  PutLe32(block, static_cast<uint32_t>(mark));
  PutLe32(block + 4, static_cast<uint32_t>(entries));
}

// Byte runs of the map layer file whose meaning belongs to the navigation software.
constexpr uint8_t kMapLayerMagic[] = {'M', 'P', 'L', '6'};
constexpr uint8_t kMapLayerOpenEnd[] = {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
// clang-format off
constexpr uint8_t kSymbolsEnd[] = {0xFF, 0xFF, 0x00, 0x00,  0xFF, 0xFF, 0x00, 0x00,  0, 0, 0, 0, 0, 0, 0, 0,
                                   0x00, 0x00, 0x00, 0x80,  0x00, 0x01, 0x00, 0x00,  0, 0, 0, 0,  0xFF, 0xFF, 0xFF, 0x00};
// Followed by 16 zero bytes.
constexpr uint8_t kFontsEnd[] = {0xFF, 0xFF, 0xFF, 0x00,  0xFF, 0xFF, 0x00, 0x00,  0xFF, 0xFF, 0x00, 0x00};
// clang-format on
static_assert(sizeof kSymbolsEnd == 32);

constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kStreamBufferSize = size_t{64} * 1024;

// One symbol: the bitmap's file header tells the length of the rest, which is copied unchanged.
int AppendSymbol(OutputFile& out, const SubcategoryConfig& sub, size_t index, uint8_t* buffer, RunLog& log) {
  std::FILE* bitmap = std::fopen(ConverterPath(sub.bitmapFile).c_str(), "rb");
  if (bitmap == nullptr) {
    log.Printf("### Can't open file '%s' for read. Reason: %s. ###\n", sub.bitmapFile.c_str(),
               ErrnoText(errno).c_str());
    return -1;
  }
  uint8_t header[kBitmapFileHeaderSize];
  bool whole = std::fread(header, 1, sizeof header, bitmap) == sizeof header;
  const uint32_t size = whole ? platform::GetLe32(header + 2) : 0;
  whole = whole && size >= kBitmapFileHeaderSize;
  if (whole) {
    const uint32_t rest = size - kBitmapFileHeaderSize;
    uint8_t record[18] = {};
    PutLe16(record, static_cast<uint16_t>(sub.categoryNumber));
    record[2] = 0x08;
    record[4] = static_cast<uint8_t>(0x11 + index % 9);
    PutLe16(record + 8, sub.bitmapZoomCode);
    PutLe16(record + 12, sub.textZoomCode);
    PutLe32(record + 14, rest);
    out.Write(record, sizeof record);
    uint64_t remaining = rest;
    while (remaining > 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kStreamBufferSize));
      const size_t got = std::fread(buffer, 1, want, bitmap);
      if (got == 0) break;
      out.Write(buffer, got);
      remaining -= got;
    }
    // The size field must tell the file's length exactly; anything else is not a bitmap we know.
    whole = remaining == 0 && std::fgetc(bitmap) == EOF && !std::ferror(bitmap);
  }
  std::fclose(bitmap);
  if (!whole) {
    log.Printf("### Can't read from file '%s'. Wrong file? ###\n", sub.bitmapFile.c_str());
    return -1;
  }
  out.WriteZeros(4);
  return 0;
}

void AppendFontRecord(OutputFile& out, const SubcategoryConfig& sub) {
  uint8_t head[16] = {};
  PutLe16(head, static_cast<uint16_t>(sub.categoryNumber));
  head[4] = 0x64;
  const size_t nameLength = std::min<size_t>(sub.fontName.size(), 0xFFFF);
  PutLe16(head + 14, static_cast<uint16_t>(nameLength));
  out.Write(head, sizeof head);
  out.Write(sub.fontName.data(), nameLength);
  uint8_t tail[17] = {};
  PutLe16(tail + 3, sub.fontSizeCode);
  PutLe32(tail + 5, static_cast<uint32_t>(static_cast<int32_t>(sub.fontTypeCode)));
  PutLe32(tail + 9, static_cast<uint32_t>(sub.textColourCode));
  PutLe32(tail + 13, static_cast<uint32_t>(sub.outlineColourCode));
  out.Write(tail, sizeof tail);
}

int Finish(OutputFile& out) { return out.Close() ? 0 : -1; }

}  // namespace

std::string NavigonOemPath(const ConverterConfig& config, std::string_view extension) {
  std::string path = config.destinationDirectory;
  path += config.mainGroup;
  path += extension;
  return path;
}

std::string NavigonOemProducerText() { return std::string(kCompiledWith) + kBanner + kPublisherCredit; }

int WriteNameFile(const ConverterConfig& config, std::span<ParsedPoi> pois, const PoiTexts& texts, RunLog& log,
                  std::string* producerText, StagedOutputs* staged) {
  OutputFile out(log, staged);
  if (!out.Open(NavigonOemPath(config, ".nam"))) return -1;
  const std::string producer = NavigonOemProducerText();
  if (producerText != nullptr) *producerText = producer;
  auto blocks = std::make_unique<NameBlocks>(out);
  blocks->Add(producer);
  const int32_t blankName = blocks->Add(" ");
  constexpr size_t kAhead = 8;
  for (size_t i = 0; i < pois.size(); ++i) {
    if (i + kAhead < pois.size()) texts.Prefetch(pois[i + kAhead].text);
    ParsedPoi& poi = pois[i];
    poi.namOffset = ShowsTexts(config, poi) ? blocks->Add(texts.View(poi.text)) : blankName;
  }
  blocks->Finish();
  return Finish(out);
}

int WriteDataFile(const ConverterConfig& config, std::span<ParsedPoi> pois, RunLog& log, StagedOutputs* staged) {
  OutputFile out(log, staged);
  if (!out.Open(NavigonOemPath(config, ".dat"))) return -1;
  out.WriteZeros(1);
  for (ParsedPoi& poi : pois) {
    poi.datOffset = static_cast<int32_t>(out.Position());
    uint8_t record[6];
    PutLe24(record, static_cast<uint32_t>(poi.x100k));
    PutLe24(record + 3, static_cast<uint32_t>(poi.y100k));
    out.Write(record, sizeof record);
  }
  const uint64_t length = out.Position();
  out.WriteZeros(static_cast<size_t>((length / 2048 + 2) * 2048 - length));
  return Finish(out);
}

IndexLayout ComputeIndexLayout(size_t poiCount) {
  IndexLayout layout;
  layout.leafBlocks = static_cast<int>((poiCount + kPoisPerLeaf - 1) / kPoisPerLeaf);
  layout.boxBlocks = std::max(1, (layout.leafBlocks + kLeavesPerBox - 1) / kLeavesPerBox);
  layout.rootBlock = layout.leafBlocks + 1 + (layout.boxBlocks >= 2 ? layout.boxBlocks : 0);
  layout.blockCount = layout.rootBlock + 1;
  return layout;
}

int CheckIndexCapacity(const ConverterConfig& config, size_t poiCount, RunLog& log) {
  if (poiCount <= kMaxIndexPois) return 0;
  // A bigger index would need more box blocks than the reader follows; refuse rather than write
  // one it cannot use.
  log.Printf("### Too many POIs for the index file '%s': %zu, max allowed: %zu. ###\n",
             NavigonOemPath(config, ".rid").c_str(), poiCount, kMaxIndexPois);
  return -1;
}

int WriteIndexFile(const ConverterConfig& config, std::span<const ParsedPoi> pois, RunLog& log, StagedOutputs* staged) {
  if (CheckIndexCapacity(config, pois.size(), log) != 0) return -1;
  OutputFile out(log, staged);
  if (!out.Open(NavigonOemPath(config, ".rid"))) return -1;
  const IndexLayout layout = ComputeIndexLayout(pois.size());
  uint8_t block[kIndexBlockSize] = {};

  // The whole shape is known from the count, so the header is right from the start.
  std::copy_n("RIDL", 4, block);  // a tag, not a C string
  PutLe32(block + 4, 3);
  PutLe32(block + 8, kIndexBlockSize);
  PutLe16(block + 12, static_cast<uint16_t>(layout.rootBlock));
  PutLe16(block + 14, static_cast<uint16_t>(layout.blockCount));
  block[16] = static_cast<uint8_t>(config.region);
  out.Write(block, sizeof block);

  std::vector<Box> leafBoxes(static_cast<size_t>(layout.leafBlocks));
  for (size_t first = 0, leaf = 0; first < pois.size(); first += kPoisPerLeaf, ++leaf) {
    const size_t count = std::min<size_t>(kPoisPerLeaf, pois.size() - first);
    std::memset(block, 0, sizeof block);
    PutBlockHead(block, kLeafMark, count);
    uint8_t* at = block + kBlockHeadSize;
    for (const ParsedPoi& poi : pois.subspan(first, count)) {
      PutLe32(at, static_cast<uint32_t>(poi.number));
      PutLe32(at + 4, static_cast<uint32_t>(poi.datOffset));
      PutLe16(at + 8, static_cast<uint16_t>(poi.categoryNumber));
      PutLe16(at + 10, 0x740A);
      PutLe32(at + 12, static_cast<uint32_t>(poi.namOffset));
      at += kLeafEntrySize;
      leafBoxes[leaf].Add(poi.x100k, poi.y100k);
    }
    out.Write(block, sizeof block);
  }

  std::vector<Box> rootEntries(static_cast<size_t>(layout.boxBlocks));
  for (size_t box = 0; box < rootEntries.size(); ++box) {
    const size_t first = box * kLeavesPerBox;
    const size_t count = std::min<size_t>(kLeavesPerBox, leafBoxes.size() - first);
    std::memset(block, 0, sizeof block);
    PutBlockHead(block, kBoxMark, count);
    for (size_t i = 0; i < count; ++i) {
      PutBoxEntry(block + kBlockHeadSize + i * kBoxEntrySize, leafBoxes[first + i], static_cast<int>(first + i + 1));
      rootEntries[box].Add(leafBoxes[first + i]);
    }
    out.Write(block, sizeof block);
  }

  if (layout.boxBlocks >= 2) {
    std::memset(block, 0, sizeof block);
    PutBlockHead(block, kBoxMark, rootEntries.size());
    for (size_t box = 0; box < rootEntries.size(); ++box) {
      PutBoxEntry(block + kBlockHeadSize + box * kBoxEntrySize, rootEntries[box],
                  layout.leafBlocks + 1 + static_cast<int>(box));
    }
    out.Write(block, sizeof block);
  }
  return Finish(out);
}

int WriteMapLayerFile(const ConverterConfig& config, RunLog& log, StagedOutputs* staged) {
  OutputFile out(log, staged);
  if (!out.Open(NavigonOemPath(config, ".mpl"))) return -1;
  const auto subs = static_cast<uint16_t>(config.subcategories.size());
  uint8_t count[2];
  PutLe16(count, subs);

  out.Write(kMapLayerMagic, sizeof kMapLayerMagic);
  out.Write(kMapLayerOpenEnd, sizeof kMapLayerOpenEnd);
  out.WriteZeros(20);
  out.Write(kMapLayerOpenEnd, sizeof kMapLayerOpenEnd);
  out.WriteZeros(10);
  out.Write(count, sizeof count);

  auto buffer = std::make_unique<uint8_t[]>(kStreamBufferSize);
  for (size_t i = 0; i < config.subcategories.size(); ++i) {
    // The partial file is left to the set, which removes it: the failure is in the log already.
    if (AppendSymbol(out, config.subcategories[i], i, buffer.get(), log) != 0) return -1;
  }
  out.Write(kSymbolsEnd, sizeof kSymbolsEnd);
  out.Write(count, sizeof count);
  for (const SubcategoryConfig& sub : config.subcategories) AppendFontRecord(out, sub);
  out.Write(kFontsEnd, sizeof kFontsEnd);
  out.WriteZeros(16);
  return Finish(out);
}

int WriteCategoryFile(const ConverterConfig& config, RunLog& log, StagedOutputs* staged) {
  std::string numbers;
  std::string names;
  char piece[32];
  for (const SubcategoryConfig& sub : config.subcategories) {
    std::snprintf(piece, sizeof piece, "%d", sub.categoryNumber);
    if (!numbers.empty()) numbers += ',';
    numbers += piece;
    names += '|';
    names += sub.subGroup;
    names += '|';
    names += piece;
  }
  OutputFile out(log, staged);
  if (!out.Open(NavigonOemPath(config, ".cat"))) return -1;
  out.Write(config.mainGroup);
  out.Write("|");
  out.Write(numbers);
  out.Write("|Alle|");
  out.Write(numbers);
  out.Write(names);
  out.Write("\r\n");
  return Finish(out);
}

int WriteLayerList(const ConverterConfig& config, RunLog& log, StagedOutputs* staged) {
  OutputFile out(log, staged);
  if (!out.Open(NavigonOemPath(config, ".lvl"))) return -1;
  out.Write(config.mainGroup);
  out.Write(".rid ");
  out.Write(config.mainGroup);
  out.Write(".mpl 100000");
  return Finish(out);
}

int WriteNavigonOem(const ConverterConfig& config, std::vector<ParsedPoi>& pois, const PoiTexts& texts, RunLog& log,
                    std::string* producerText, StagedOutputs* staged) {
  // Refused before any file is touched, so an oversized run leaves no half layer behind.
  if (CheckIndexCapacity(config, pois.size(), log) != 0) return -1;
  if (WriteNameFile(config, pois, texts, log, producerText, staged) != 0) return -1;
  if (WriteDataFile(config, pois, log, staged) != 0) return -1;
  if (WriteIndexFile(config, pois, log, staged) != 0) return -1;
  if (WriteMapLayerFile(config, log, staged) != 0) return -1;
  if (WriteCategoryFile(config, log, staged) != 0) return -1;
  return WriteLayerList(config, log, staged);
}

}  // namespace converter
