// Compressed data files: a 16-byte header (expanded size at offset 12) followed by an LZSS stream
// of the SZDD kind, marked by a file name ending in "enc". Reading for the texture loader, writing
// for the packer tool.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// True when the name's last three characters are exactly "enc".
bool IsCompressedName(const char* fileName);

// Expands a compressed file into `buffer` (resized to the header's size, zero where the stream
// falls short) and returns that size. Returns 0 and leaves `buffer` untouched when the file cannot
// be opened or its size field is implausible (a corrupt header must not exhaust memory); a file
// shorter than the header is empty.
uint32_t LoadCompressedFile(const char* fileName, std::vector<uint8_t>& buffer);

// The expander proper, over the LZSS stream (header already skipped). Stores at most
// `expectedSize` bytes into `dest` and zeroes the rest of those bytes when the stream falls short;
// input exhaustion is the only end condition. Returns how many bytes were produced (at most
// `expectedSize`).
uint32_t ExpandLzss(const uint8_t* src, size_t srcSize, uint32_t expectedSize, uint8_t* dest);

// Largest expanded size accepted for `compressedBytes` of stream: 64 x compressed + 4096, and
// never more than 256 MiB.
uint64_t MaxExpandedSize(uint64_t compressedBytes);

// Writer side: header plus a greedy LZSS coding with a hash-chain match search. The output never
// refers to the window's last 16 positions before they are written, so any SZDD expander agrees.
std::vector<uint8_t> CompressSzdd(const uint8_t* data, size_t size);

// Expands a whole compressed image held in memory (header included), with the same limits as
// LoadCompressedFile. Returns false for an implausible size field.
bool ExpandSzdd(const uint8_t* file, size_t fileSize, std::vector<uint8_t>& out);

constexpr size_t kSzddHeaderSize = 16;
