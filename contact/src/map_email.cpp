// E-mail slots 1-3 and the fax "electronic addresses", with the two address-book provider
// properties that list them ([MS-OXOCNTC] 2.2.1.2): both are written together and always agree.
#include <algorithm>

#include "contact/one_off_entry_id.h"
#include "mapping_context.h"
#include "vcard/card_order.h"

namespace contact::detail {

namespace {

constexpr int kEmailSlots = 3;

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Outlook's convention for an e-mail slot's display name: "Full Name (address)".
std::string emailDisplayName(const std::string& name, const std::string& address) {
    if (name.empty() || lowered(name) == lowered(address)) return address;
    return name + " (" + address + ")";
}

}  // namespace

void mapEmails(MappingContext& ctx) {
    std::vector<int32_t> providerList;
    int32_t providerMask = 0;

    std::vector<std::string> seen;
    int slot = 0;
    for (const vcard::Email& email : vcard::byPreference(ctx.card.emails())) {
        const std::string address = withoutNul(trimmed(email.address));
        const std::string key = lowered(address);
        if (address.empty() || std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
        seen.push_back(key);
        if (slot == kEmailSlots) {
            ctx.addDetail("E-mail", address);
            continue;
        }
        const uint32_t base = static_cast<uint32_t>(0x10 * slot);
        const std::string display = emailDisplayName(ctx.displayName, address);
        ctx.setNamed(lid::kEmail1DisplayName + base, display);
        ctx.setNamed(lid::kEmail1AddressType + base, std::string("SMTP"));
        ctx.setNamed(lid::kEmail1EmailAddress + base, address);
        ctx.setNamed(lid::kEmail1OriginalDisplayName + base, address);
        ctx.setNamed(lid::kEmail1OriginalEntryId + base,
                     Binary{makeOneOffEntryId(display, "SMTP", address, kOneOffSmtpFlags)});
        providerList.push_back(slot);
        providerMask |= 1 << slot;
        ++slot;
    }

    // Fax numbers become fax addresses "Name@number", as Outlook makes them: business, home, other.
    const uint16_t faxTags[] = {tag::kBusinessFaxNumber, tag::kHomeFaxNumber, tag::kPrimaryFaxNumber};
    for (int fax = 0; fax < 3; ++fax) {
        const std::string* number = ctx.text(faxTags[fax]);
        if (!number) continue;
        const uint32_t base = static_cast<uint32_t>(0x10 * fax);
        const std::string address = ctx.displayName.empty() ? *number : ctx.displayName + "@" + *number;
        // (the display name and number are already free of NUL characters: set() removed them)
        ctx.setNamed(lid::kFax1AddressType + base, std::string("FAX"));
        ctx.setNamed(lid::kFax1EmailAddress + base, address);
        ctx.setNamed(lid::kFax1OriginalDisplayName + base, ctx.displayName);
        ctx.setNamed(lid::kFax1OriginalEntryId + base,
                     Binary{makeOneOffEntryId(ctx.displayName, "FAX", address, kOneOffFaxFlags)});
        providerList.push_back(3 + fax);
        providerMask |= 1 << (3 + fax);
    }

    if (!providerList.empty()) {
        ctx.setNamed(lid::kAddressBookProviderEmailList, providerList);
        ctx.setNamed(lid::kAddressBookProviderArrayType, providerMask);
    }
}

}  // namespace contact::detail
