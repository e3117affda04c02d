// Damaged input never stops the mapping: mutated images and mutated cards, with a fixed random
// start so a failure reproduces.
#include <stb/stb_image_write.h>

#include <random>

#include "mapping_helpers.h"

namespace contact::testing {
namespace {

void collect(void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<char*>(data), size); }

std::string image(const char* format) {
    unsigned char pixels[8 * 8 * 3];
    for (int i = 0; i < 8 * 8 * 3; ++i) pixels[i] = static_cast<unsigned char>(i * 7);
    std::string out;
    if (std::string_view(format) == "png") stbi_write_png_to_func(collect, &out, 8, 8, 3, pixels, 24);
    else stbi_write_bmp_to_func(collect, &out, 8, 8, 3, pixels);
    return out;
}

std::string mutated(std::string bytes, std::mt19937& random) {
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < edits && !bytes.empty(); ++i) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 3) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes.resize(at); break;                      // truncated
            default: bytes.insert(at, 1, static_cast<char>(random())); break;
        }
    }
    return bytes;
}

TEST(Robustness, DamagedPhotosGiveAJpegOrAWarning) {
    std::mt19937 random(20261207);
    for (const char* format : {"png", "bmp"}) {
        const std::string original = image(format);
        ASSERT_FALSE(original.empty());
        for (int round = 0; round < 300; ++round) {
            const std::string bytes = mutated(original, random);
            const ContactItem item = mapLines("FN:A\nPHOTO;ENCODING=b:" + base64(bytes) + "\n");
            if (bytes.empty()) {   // an empty PHOTO is no photo at all
                EXPECT_TRUE(item.attachments.empty());
            } else if (item.attachments.empty()) {
                std::string notes;
                for (const Warning& w : item.warnings) notes += w.property + ": " + w.message + "; ";
                EXPECT_TRUE(hasWarningContaining(item, "photo")) << format << " round " << round << " size " << bytes.size()
                                                                 << " warnings " << notes;
            } else {
                const std::optional<Binary> data = valueOf<Binary>(item.attachments[0].properties, mapi::PidTagAttachDataBinary);
                ASSERT_TRUE(data);
                EXPECT_EQ(data->bytes.substr(0, 3), "\xFF\xD8\xFF") << format << " round " << round;
            }
        }
    }
}

TEST(Robustness, DamagedCardsStillMapEveryCard) {
    const std::string rich = card(
        "FN:Ann Lee\nN:Lee;Ann;;;\nORG:Acme;Sales\nEMAIL;TYPE=pref:a@x.org\nEMAIL:b@x.org\nTEL;TYPE=work,fax:1\n"
        "TEL;TYPE=home:2\nADR;TYPE=work:;;1 St;Town;;123;\nLABEL;TYPE=work:1 St\\nTown\nBDAY:--0229\n"
        "ANNIVERSARY:2000-02-29\nCATEGORIES:a,b\nURL:http://x.org\nIMPP:xmpp:a@x.org\nGENDER:F\nCLASS:PRIVATE\n"
        "RELATED;TYPE=spouse:Bo\nGEO:1;2\nNOTE:n\\nm\nPHOTO;ENCODING=b;TYPE=PNG:" + base64(image("png")) + "\n");
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        const std::string text = mutated(rich + rich, random);
        std::vector<vcard::Card> cards = vcard::parseBuffer(text);
        for (const vcard::Card& c : cards) {
            const ContactItem item = mapCard(c, fixedOptions());
            EXPECT_EQ(tagText(item, mapi::PidTagMessageClass), "IPM.Contact") << "round " << round;
            const bool named = !tagText(item, mapi::PidTagDisplayName).value_or("").empty();
            EXPECT_TRUE(named || !item.warnings.empty()) << "round " << round;
            const auto list = namedValue<std::vector<int32_t>>(item, mapi::PidLidAddressBookProviderEmailList);
            const auto mask = namedValue<int32_t>(item, mapi::PidLidAddressBookProviderArrayType);
            ASSERT_EQ(list.has_value(), mask.has_value()) << "round " << round;
            if (list) {
                int32_t fromList = 0;
                for (int32_t slot : *list) fromList |= 1 << slot;
                EXPECT_EQ(fromList, *mask) << "round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace contact::testing
