// E-mail slots 1-3 and the fax "electronic addresses", with the two address-book provider
// properties that list them ([MS-OXOCNTC] 2.2.1.2): both are written together and always agree.
#include <algorithm>
#include <unordered_set>

#include "contact/one_off_entry_id.h"
#include "mapping_context.h"

namespace contact::detail {

namespace {

constexpr int kEmailSlots = 3;

struct EmailSlot {
    mapi::NamedProperty displayName, addressType, emailAddress, originalDisplayName, originalEntryId;
};
constexpr EmailSlot kEmailSlot[kEmailSlots] = {
    {mapi::PidLidEmail1DisplayName, mapi::PidLidEmail1AddressType, mapi::PidLidEmail1EmailAddress,
     mapi::PidLidEmail1OriginalDisplayName, mapi::PidLidEmail1OriginalEntryId},
    {mapi::PidLidEmail2DisplayName, mapi::PidLidEmail2AddressType, mapi::PidLidEmail2EmailAddress,
     mapi::PidLidEmail2OriginalDisplayName, mapi::PidLidEmail2OriginalEntryId},
    {mapi::PidLidEmail3DisplayName, mapi::PidLidEmail3AddressType, mapi::PidLidEmail3EmailAddress,
     mapi::PidLidEmail3OriginalDisplayName, mapi::PidLidEmail3OriginalEntryId},
};

// Fax slots: business, home, other.
struct FaxSlot {
    mapi::NamedProperty addressType, emailAddress, originalDisplayName, originalEntryId;
};
constexpr FaxSlot kFaxSlot[3] = {
    {mapi::PidLidFax1AddressType, mapi::PidLidFax1EmailAddress, mapi::PidLidFax1OriginalDisplayName,
     mapi::PidLidFax1OriginalEntryId},
    {mapi::PidLidFax2AddressType, mapi::PidLidFax2EmailAddress, mapi::PidLidFax2OriginalDisplayName,
     mapi::PidLidFax2OriginalEntryId},
    {mapi::PidLidFax3AddressType, mapi::PidLidFax3EmailAddress, mapi::PidLidFax3OriginalDisplayName,
     mapi::PidLidFax3OriginalEntryId},
};

// Outlook's convention for an e-mail slot's display name: "Full Name (address)".
std::string emailDisplayName(std::string_view name, std::string_view address) {
    if (name.empty() || equalsIgnoringAsciiCase(name, address)) return std::string(address);
    std::string display;
    display.reserve(name.size() + address.size() + 3);
    display += name;
    display += " (";
    display += address;
    display += ')';
    return display;
}

// Two addresses are the same when they match without regard to ASCII case once NUL characters
// are dropped.
char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameAddress(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    for (;; ++i, ++j) {
        while (i < a.size() && a[i] == '\0') ++i;
        while (j < b.size() && b[j] == '\0') ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        if (folded(a[i]) != folded(b[j])) return false;
    }
}

// The form addresses are compared in once there are many of them.
std::string addressKey(std::string_view address) {
    std::string key;
    key.reserve(address.size());
    for (char c : address)
        if (c != '\0') key.push_back(folded(c));
    return key;
}

// The addresses a card has given so far. A card's few are compared one by one, with no copy of
// them; past kFew, a set of their folded forms keeps a card with many thousands linear.
class TakenAddresses {
public:
    // True when `address` is not the same as one taken before; it is taken from now on, so its
    // text must outlive this object.
    bool take(std::string_view address) {
        if (many_.empty()) {
            for (std::size_t i = 0; i < fewCount_; ++i)
                if (sameAddress(few_[i], address)) return false;
            if (fewCount_ < kFew) {
                few_[fewCount_++] = address;
                return true;
            }
            for (std::string_view taken : few_) many_.insert(addressKey(taken));
        }
        return many_.insert(addressKey(address)).second;
    }

private:
    static constexpr std::size_t kFew = 8;
    std::string_view few_[kFew];
    std::size_t fewCount_ = 0;
    std::unordered_set<std::string> many_;
};

// [MS-OXVCARD] EMAIL import: the first TYPE the document knows decides what the address is, so
// EMAIL;TYPE=im,internet is an instant-messaging address and EMAIL;TYPE=internet,im an e-mail.
bool isInstantMessaging(const vcard::Email& email) {
    for (const std::string& type : email.types) {
        if (type == "im") return true;
        if (type == "internet" || type == "x400") return false;
    }
    return false;
}

}  // namespace

void mapEmails(MappingContext& ctx) {
    std::vector<int32_t> providerList;
    int32_t providerMask = 0;

    const std::vector<vcard::Email> cardEmails = ctx.card.emails();
    const PreferenceOrder<vcard::Email> emails(cardEmails);
    TakenAddresses taken;
    int slot = 0;
    for (const vcard::Email& email : emails) {
        const std::string_view written = trimWhitespace(email.address);
        if (std::all_of(written.begin(), written.end(), [](char c) { return c == '\0'; })) continue;
        if (isInstantMessaging(email)) {
            ctx.imAddresses.emplace_back(written);
            continue;
        }
        if (!taken.take(written)) continue;
        std::string withoutNul;   // only for an address with NUL characters
        std::string_view address = written;
        if (address.find('\0') != std::string_view::npos) {
            withoutNul = written;
            removeNul(withoutNul);
            address = withoutNul;
        }
        if (slot == kEmailSlots) {
            ctx.addDetail("E-mail", address);
            continue;
        }
        if (providerList.empty()) providerList.reserve(6);
        const EmailSlot& keys = kEmailSlot[slot];
        const std::string display = emailDisplayName(ctx.displayName, address);
        ctx.setString(keys.displayName, display);
        ctx.setString(keys.addressType, "SMTP");
        const mapi::Value stored = textValue(address);   // two properties hold the address: encoded once
        ctx.set(keys.emailAddress, mapi::Value(stored));
        ctx.set(keys.originalDisplayName, mapi::Value(stored));
        ctx.set(keys.originalEntryId, oneOffEntryIdValue(display, "SMTP", address, kOneOffSmtpFlags));
        providerList.push_back(slot);
        providerMask |= 1 << slot;
        ++slot;
    }

    // Fax numbers become fax addresses "Name@number", as Outlook makes them: business, home, other.
    for (int fax = 0; fax < 3; ++fax) {
        const std::string& number = ctx.faxNumbers[fax];
        if (number.empty()) continue;
        if (providerList.empty()) providerList.reserve(6);
        const FaxSlot& keys = kFaxSlot[fax];
        std::string address;
        if (ctx.displayName.empty()) {
            address = number;
        } else {
            address.reserve(ctx.displayName.size() + 1 + number.size());
            address += ctx.displayName;
            address += '@';
            address += number;
        }
        // (the display name and number are already free of NUL characters)
        ctx.setString(keys.addressType, "FAX");
        ctx.setString(keys.emailAddress, address);
        ctx.setString(keys.originalDisplayName, ctx.displayName);
        ctx.set(keys.originalEntryId, oneOffEntryIdValue(ctx.displayName, "FAX", address, kOneOffFaxFlags));
        providerList.push_back(3 + fax);
        providerMask |= 1 << (3 + fax);
    }

    if (!providerList.empty()) {
        ctx.set(mapi::PidLidAddressBookProviderEmailList, mapi::multiInt32Value(providerList));
        ctx.set(mapi::PidLidAddressBookProviderArrayType, mapi::int32Value(providerMask));
    }
}

}  // namespace contact::detail
