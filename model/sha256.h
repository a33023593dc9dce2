// SHA-256 (FIPS 180-4), for naming what was written into a reader in a log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The digest of the bytes as 64 lowercase hex digits.
std::string Sha256Hex(const std::uint8_t* bytes, std::size_t count);
