#include "model/recorded_note.h"

#include <uuid/uuid.h>

#include <array>

namespace tunescrib {

Uuid Uuid::random() {
    Uuid id;
    uuid_generate_random(id.bytes.data());
    return id;
}

std::string Uuid::toString() const {
    std::array<char, 37> text{};
    uuid_unparse_upper(bytes.data(), text.data());
    return text.data();
}

} // namespace tunescrib
