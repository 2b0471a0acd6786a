// A card file's bytes as the card import reads them; what was read writes out again.
#include "formats/CardFormat.h"

#include "Timed.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        const cards::ReadCard card =
            cards::ParseCardBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        if (card.valid) {
            cards::CardText(card.values);
            cards::EncodeCard(card.values);
        }
    });
}
