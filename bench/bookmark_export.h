// Makes large browser bookmark exports for the benchmark: nested folders of links with the
// attributes, favicon data and CR LF line ends a browser writes, the same bytes on every run.
#pragma once

#include <cstdint>
#include <filesystem>

// Writes an export holding `links` links to `path` (replacing it) and syncs it to disk, so that
// no writeback of it disturbs the timings. Returns its size in bytes; throws
// std::runtime_error when it cannot be written.
std::uint64_t writeBookmarkExport(const std::filesystem::path& path, std::uint64_t links);
