#pragma once
// Reading back files the tests wrote: whole contents and little-endian fields.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kvr::test {

inline std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline uint32_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8;
}
inline uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}

}  // namespace kvr::test
