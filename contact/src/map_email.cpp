// E-mail slots 1-3 and the fax "electronic addresses", with the two address-book provider
// properties that list them ([MS-OXOCNTC] 2.2.1.2): both are written together and always agree.
#include <algorithm>
#include <unordered_set>

#include "contact/one_off_entry_id.h"
#include "mapping_context.h"

namespace contact::detail {

namespace {

constexpr int kEmailSlots = 3;

// Outlook's convention for an e-mail slot's display name: "Full Name (address)".
std::string emailDisplayName(const std::string& name, const std::string& address) {
    if (name.empty() || equalsIgnoringAsciiCase(name, address)) return address;
    std::string display;
    display.reserve(name.size() + address.size() + 3);
    display += name;
    display += " (";
    display += address;
    display += ')';
    return display;
}

// Two addresses are the same when they match without regard to ASCII case once NUL characters
// are dropped; this is the form they are compared in (a set of them keeps a card with many
// thousands of addresses linear).
std::string addressKey(std::string_view address) {
    std::string key;
    key.reserve(address.size());
    for (char c : address) {
        if (c == '\0') continue;
        key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return key;
}

}  // namespace

void mapEmails(MappingContext& ctx) {
    std::vector<int32_t> providerList;
    int32_t providerMask = 0;

    const std::vector<vcard::Email> cardEmails = ctx.card.emails();
    const PreferenceOrder<vcard::Email> emails(cardEmails);
    std::unordered_set<std::string> seen;   // addresses taken so far, by addressKey
    int slot = 0;
    for (const vcard::Email& email : emails) {
        const std::string_view written = trimmedView(email.address);
        if (std::all_of(written.begin(), written.end(), [](char c) { return c == '\0'; })) continue;
        if (!seen.insert(addressKey(written)).second) continue;
        std::string address(written);
        removeNul(address);
        if (slot == kEmailSlots) {
            ctx.addDetail("E-mail", address);
            continue;
        }
        if (providerList.empty()) providerList.reserve(6);
        const uint32_t base = static_cast<uint32_t>(0x10 * slot);
        std::string display = emailDisplayName(ctx.displayName, address);
        Binary entryId{makeOneOffEntryId(display, "SMTP", address, kOneOffSmtpFlags)};
        ctx.setNamed(lid::kEmail1DisplayName + base, std::move(display));
        ctx.setNamed(lid::kEmail1AddressType + base, std::string("SMTP"));
        ctx.setNamed(lid::kEmail1EmailAddress + base, address);
        ctx.setNamed(lid::kEmail1OriginalDisplayName + base, std::move(address));
        ctx.setNamed(lid::kEmail1OriginalEntryId + base, std::move(entryId));
        providerList.push_back(slot);
        providerMask |= 1 << slot;
        ++slot;
    }

    // Fax numbers become fax addresses "Name@number", as Outlook makes them: business, home, other.
    const uint16_t faxTags[] = {tag::kBusinessFaxNumber, tag::kHomeFaxNumber, tag::kPrimaryFaxNumber};
    for (int fax = 0; fax < 3; ++fax) {
        const std::string* number = ctx.text(faxTags[fax]);
        if (!number) continue;
        if (providerList.empty()) providerList.reserve(6);
        const uint32_t base = static_cast<uint32_t>(0x10 * fax);
        std::string address;
        if (ctx.displayName.empty()) {
            address = *number;
        } else {
            address.reserve(ctx.displayName.size() + 1 + number->size());
            address += ctx.displayName;
            address += '@';
            address += *number;
        }
        // (the display name and number are already free of NUL characters: set() removed them)
        Binary entryId{makeOneOffEntryId(ctx.displayName, "FAX", address, kOneOffFaxFlags)};
        ctx.setNamed(lid::kFax1AddressType + base, std::string("FAX"));
        ctx.setNamed(lid::kFax1EmailAddress + base, std::move(address));
        ctx.setNamed(lid::kFax1OriginalDisplayName + base, ctx.displayName);
        ctx.setNamed(lid::kFax1OriginalEntryId + base, std::move(entryId));
        providerList.push_back(3 + fax);
        providerMask |= 1 << (3 + fax);
    }

    if (!providerList.empty()) {
        ctx.setNamed(lid::kAddressBookProviderEmailList, std::move(providerList));
        ctx.setNamed(lid::kAddressBookProviderArrayType, providerMask);
    }
}

}  // namespace contact::detail
