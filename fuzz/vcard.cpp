// A vCard file's bytes as the vCard import reads them.
#include "formats/VCardReader.h"

#include "Timed.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return zvfuzz::Timed(size, [&] {
        const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
        const vcard::ReadResult result = vcard::ReadVCards(bytes);
        // Line numbers come from the file itself; one past its line count means a wrong count.
        const qsizetype lines = bytes.count('\n') + bytes.count('\r') + 1;
        for (const vcard::Card& card : result.cards)
            if (card.line < 1 || card.line > lines)
                std::abort();
        for (int line : result.badLines)
            if (line < 1 || line > lines)
                std::abort();
    });
}
