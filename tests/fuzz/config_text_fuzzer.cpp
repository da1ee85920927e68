// libFuzzer target for the text form's reader, which takes untrusted text
// from files, standard input and the clipboard: besides crashes and undefined
// behaviour, any input that breaks one of the reader's properties is a
// finding. Built and run by scripts/fuzz.sh; the corpus is replayed by the
// model tests.

#include "config_text_checks.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (mx::brokenTextProperty({reinterpret_cast<const char*>(data), size}) != nullptr) {
        std::abort();
    }
    return 0;
}
