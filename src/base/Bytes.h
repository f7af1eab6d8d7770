// The byte buffer every layer passes file contents in, and the one way to make a large one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Reserves room for a large buffer and asks for transparent huge pages on it before it is
// first touched: 64 MiB then takes a few dozen page faults instead of 16,384, which more
// than pays for clearing it.
void ReserveLarge(Bytes& out, size_t length);

// Overwrites memory that held a secret in a way the optimiser cannot drop.
void SecureWipe(void* data, size_t length);
