// The file list of a listing reply, its item texts and items, and the Base64 decoding of
// a download: arbitrary text decodes without fault, and encoded bytes decode to themselves.
#include "FuzzInput.h"
#include "PythonFiles.h"
#include "SafeXml.h"

#include <openssl/evp.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tervane::InitXmlLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text = tervane::fuzz::AsText(data, size);
    const tervane::PythonFileList files = tervane::ReadFileList(text);
    const std::size_t nameWidth = tervane::FileListNameWidth(files);
    for (const auto& entry : files) {
        // The list shows every name whole and acts on the name the device listed.
        FUZZ_CHECK(tervane::FileListItemText(entry, nameWidth).starts_with(entry.name));
        const tervane::PythonFileItem whole = tervane::ItemForEntry(entry);
        FUZZ_CHECK(whole.name == entry.name);
        FUZZ_CHECK(whole.size >= 0);
    }

    const std::string decoded = tervane::DecodeBase64(text);
    FUZZ_CHECK(decoded.size() <= text.size() / 4 * 3 + 3);

    std::vector<unsigned char> encoded(4 * ((size + 2) / 3) + 1);
    const int length = EVP_EncodeBlock(encoded.data(), data, static_cast<int>(size));
    std::string withBreaks;
    for (int i = 0; i < length; ++i) {
        withBreaks += static_cast<char>(encoded[static_cast<std::size_t>(i)]);
        if (i % 64 == 63)
            withBreaks += "\r\n";
    }
    FUZZ_CHECK(tervane::DecodeBase64(withBreaks) == text);
    return 0;
}
