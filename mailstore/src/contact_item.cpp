#include "contact_item.h"

#include "zentra/error.h"
#include "zentra/path_list.h"

namespace zentra::mailstore::detail {

ContactItem::ContactItem(std::shared_ptr<pipeline::ImportSession> session, std::shared_ptr<pipeline::OpenStore> store,
                         pst::Nid folder)
    : store_(store), folder_(folder), import_(std::move(session), std::move(store), folder) {}

void ContactItem::Import(const pipeline::SourceFile& file, long format) {
    if (format != kImportFormatVCard)
        throw Error(kErrInvalidArgument, "import format " + std::to_string(format) + " is not supported; use 6 (vCard)");
    if (state_ == State::Saved || state_ == State::SaveFailed)
        throw Error(kErrInvalidCall,
                    "cannot import \"" + zentra::readablePath(file.path) + "\" into a contact that is already saved");
    store_->store();   // a detached store fails here, before any reading
    state_ = State::ImportFailed;
    import_.open(file);
    state_ = State::Imported;
}

void ContactItem::Save() {
    switch (state_) {
    case State::Saved:
    case State::ImportFailed:
        return;
    case State::SaveFailed:
        throw Error(kErrImportFailed, "the contacts of " + zentra::readablePath(import_.outcome().path) +
                                          " not stored when saving failed are lost; import the file again");
    case State::New:
        store_->addContact(folder_, pipeline::emptyContact());
        state_ = State::Saved;
        return;
    case State::Imported:
        try {
            import_.store(observer_);
        } catch (const Error&) {
            state_ = State::SaveFailed;
            throw;
        }
        state_ = State::Saved;
        return;
    }
}

}  // namespace zentra::mailstore::detail
