// One-block AES-128 encryption (FIPS-197), used by a device family's security handshake.
#pragma once

#include <cstdint>

// Encrypts the 16-byte block in place with the 16-byte key. Any thread.
void AesEncryptBlock(std::uint8_t block[16], const std::uint8_t key[16]);
