#include "model/recorded_note.h"

#include <uuid/uuid.h>

namespace tunescrib {

Uuid Uuid::random() {
    Uuid id;
    uuid_generate_random(id.bytes.data());
    return id;
}

std::string Uuid::toString() const {
    char text[37];
    uuid_unparse_upper(bytes.data(), text);
    return text;
}

} // namespace tunescrib
