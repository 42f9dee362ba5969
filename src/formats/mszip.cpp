#include "formats/mszip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace krovane::formats {

namespace {

constexpr std::size_t kHeaderBytes = 16;    // the .x header before `data`
constexpr std::size_t kDictionary = 32768;  // deflate's window

std::uint32_t read16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }

bool fail(std::size_t at, const std::string& what, std::string& error) {
    error = "byte " + std::to_string(at + kHeaderBytes) + ": " + what;
    return false;
}

// Inflates one raw deflate block of exactly `expected` bytes onto the end of `out`.
bool inflateBlock(const std::uint8_t* in, std::size_t inSize, std::size_t expected, std::vector<std::uint8_t>& out) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    bool ok = true;
    if (!out.empty()) {
        const std::size_t dict = std::min(out.size(), kDictionary);
        ok = inflateSetDictionary(&z, out.data() + out.size() - dict, static_cast<uInt>(dict)) == Z_OK;
    }
    const std::size_t start = out.size();
    out.resize(start + expected);
    if (ok) {
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(inSize);
        z.next_out = out.data() + start;
        z.avail_out = static_cast<uInt>(expected);
        const int rc = inflate(&z, Z_FINISH);
        // Some writers end a block without the final-block bit; a full output is enough.
        ok = (rc == Z_STREAM_END || rc == Z_OK || rc == Z_BUF_ERROR) && z.avail_out == 0;
    }
    inflateEnd(&z);
    return ok;
}

}  // namespace

bool inflateMszip(const std::uint8_t* data, std::size_t size, std::size_t maxOutput, std::vector<std::uint8_t>& out,
                  std::string& error) {
    out.clear();
    if (size < 4) return fail(0, "truncated compressed size", error);
    std::uint32_t declared;
    std::memcpy(&declared, data, 4);
    if (declared < kHeaderBytes || declared - kHeaderBytes > maxOutput)
        return fail(0, "declared size " + std::to_string(declared) + " is out of range", error);
    // Deflate cannot grow data more than about 1:1032, so a larger claim is not reserved.
    out.reserve(std::min<std::size_t>(declared - kHeaderBytes, size * 1040));

    std::size_t at = 4;
    while (at < size) {
        if (size - at < 6) return fail(at, "truncated block header", error);
        const std::size_t plain = read16(data + at), packed = read16(data + at + 2);
        if (packed < 2 || packed > size - at - 4) return fail(at, "block size past the end of the file", error);
        if (data[at + 4] != 'C' || data[at + 5] != 'K') return fail(at + 4, "block without its \"CK\" mark", error);
        if (out.size() + plain > maxOutput) return fail(at, "decompressed data too large", error);
        if (!inflateBlock(data + at + 6, packed - 2, plain, out)) return fail(at, "damaged compressed block", error);
        at += 4 + packed;
    }
    return true;
}

}  // namespace krovane::formats
