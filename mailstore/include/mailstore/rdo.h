#pragma once
// The mail-store library's object model, by the member names the program calls:
// Session (ProgID "Redemption.RDOSession") -> Stores -> Store -> Folder -> Folders / Items.
// Folders reached through the mail client (mail_client.h) are the same Folder objects.
//
// Every failing member throws zentra::Error with a number and a description.
#include <cstddef>
#include <memory>
#include <string>

#include "mailstore/component.h"
#include "pipeline/file_outcome.h"
#include "pipeline/source_file.h"

namespace zentra::mailstore {

class Folder;
class Folders;
class Items;
class Item;
class Store;
class Stores;

// Values of the type arguments the program passes.
constexpr long kStoreFormatDefault = 1;     // AddPSTStore: default format (a Unicode store)
constexpr long kStoreFormatUnicode = 2;
constexpr long kFolderTypeContacts = 10;    // Folders.Add: a contacts folder ("IPF.Contact")
constexpr long kItemTypeContact = 2;        // Items.Add: a contact item
constexpr long kImportFormatVCard = 6;      // Item.Import: a vCard file

class Item {
public:
    virtual ~Item() = default;
    // Fills the item from a file. A file of an import queue (Session::ReadAhead) is taken from
    // the read-ahead by its place in the queue; any other is read here.
    virtual void Import(const pipeline::SourceFile& file, long format) = 0;
    void Import(const std::string& path, long format) { Import(pipeline::SourceFile{path}, format); }
    virtual void Save() = 0;

    // Who follows the contacts Save stores (progress, warnings, a request to stop); null: nobody.
    virtual void Observe(pipeline::ImportObserver* observer) = 0;
    // What Import and Save made of the file so far.
    virtual const pipeline::FileOutcome& Outcome() const = 0;
};

class Items {
public:
    virtual ~Items() = default;
    virtual long Count() = 0;
    virtual std::shared_ptr<Item> Add(long itemType) = 0;
};

// A folder's subfolders. Positions are 1-based; lookups by name ignore case.
class Folders {
public:
    virtual ~Folders() = default;
    virtual long Count() = 0;
    virtual std::shared_ptr<Folder> Item(long index) = 0;               // kErrSubscriptOutOfRange
    virtual std::shared_ptr<Folder> Item(const std::string& name) = 0;  // kErrFolderNotFound
    // A new subfolder of the given type, returned. kErrFolderExists when a sibling has the
    // name already, ignoring case.
    virtual std::shared_ptr<Folder> Add(const std::string& name, long folderType) = 0;

    // Range-for support over a snapshot of the collection taken when begin() runs. Keep the
    // collection in a variable first: `for (auto f : *folder->Folders())` destroys the
    // collection before the loop runs.
    class iterator {
    public:
        iterator(Folders* owner, long index) : owner_(owner), index_(index) {}
        std::shared_ptr<Folder> operator*() const { return owner_->Item(index_); }
        iterator& operator++() { ++index_; return *this; }
        bool operator!=(const iterator& other) const { return index_ != other.index_; }
    private:
        Folders* owner_;
        long index_;
    };
    iterator begin() { return iterator(this, 1); }
    iterator end() { return iterator(this, Count() + 1); }
};

class Folder {
public:
    virtual ~Folder() = default;
    virtual std::string Name() = 0;
    virtual std::string EntryID() = 0;
    virtual std::string ContainerClass() = 0;
    virtual std::shared_ptr<mailstore::Folders> Folders() = 0;
    virtual std::shared_ptr<mailstore::Items> Items() = 0;
};

class Store {
public:
    virtual ~Store() = default;
    virtual std::string EntryID() = 0;
    virtual std::string DisplayName() = 0;
    virtual std::string FilePath() = 0;
    // The top of the store's visible tree, "Top of Personal Folders".
    virtual std::shared_ptr<Folder> IPMRootFolder() = 0;
    // Detach: everything committed, the file closed; it stays on disk.
    virtual void Remove() = 0;

    // Items saved into the store so far (each contact of a multi-card file counts), and how many
    // of them its file holds as of the store's last successful save: items reach the file with
    // the next periodic save, so a failed save loses those saved after the last good one.
    virtual long long ItemsSaved() = 0;
    virtual long long ItemsOnDisk() = 0;
};

class Stores {
public:
    virtual ~Stores() = default;
    virtual long Count() = 0;
    // Creates a new personal folders file and attaches it. Fails when the path exists.
    virtual std::shared_ptr<Store> AddPSTStore(const std::string& path, long format,
                                               const std::string& displayName) = 0;
    virtual std::shared_ptr<Store> GetStoreFromID(const std::string& entryId) = 0;
};

class Session : public Component {
public:
    virtual void Logon() = 0;
    virtual std::shared_ptr<mailstore::Stores> Stores() = 0;   // kErrNotLoggedOn before Logon
    // "\\" + store display name + "\" + folder path; every component matched ignoring case.
    virtual std::shared_ptr<Folder> GetFolderFromPath(const std::string& path) = 0;
    // The files the next Imports will read, in order, with this format (6, vCard): they are read
    // ahead on a second thread. A new queue replaces the previous one; null stops reading ahead.
    // Logoff stops it too.
    virtual void ReadAhead(pipeline::SharedFileQueue queue, long format) = 0;
    virtual void Logoff() = 0;
};

}  // namespace zentra::mailstore
