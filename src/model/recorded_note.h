#pragma once
// One note of a recorded take, and the UUID that identifies it.

#include <array>
#include <cstdint>
#include <string>

namespace tunescrib {

// A random (version 4) UUID; printed in the 36-character upper-case form.
struct Uuid {
    std::array<unsigned char, 16> bytes{};

    // Draws a fresh random identifier (libuuid).
    static Uuid random();
    // "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper-case hexadecimal.
    [[nodiscard]] std::string toString() const;

    bool operator==(const Uuid&) const = default;
};

// Lists of notes match notes by id; two notes are equal only when all fields are.
struct RecordedNote {
    Uuid id;
    std::int64_t midi = 0;
    double start = 0.0;    // seconds from the beginning of the take
    double duration = 0.0; // seconds the note was held

    bool operator==(const RecordedNote&) const = default;
};

} // namespace tunescrib
