// MSZIP: the block compression of compressed .x files.
//
// After the file's 16-byte header comes a 32-bit total size (the header's 16
// bytes included) and then blocks, each a 16-bit uncompressed size, a 16-bit
// compressed size (counting what follows), the bytes "CK" and raw deflate
// data. Each block is inflated with the 32 KiB before it as its dictionary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace krovane::formats {

// Inflates `data` (what follows the 16-byte header) into `out`. Fails with a
// reason that names the file offset (`data` starts at file byte 16) when a
// block is damaged, or when the declared or actual size passes `maxOutput`.
bool inflateMszip(const std::uint8_t* data, std::size_t size, std::size_t maxOutput, std::vector<std::uint8_t>& out,
                  std::string& error);

}  // namespace krovane::formats
