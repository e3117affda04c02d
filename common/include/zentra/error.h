#pragma once
// The one error type every layer throws: a number and a description, as the program's
// message boxes show them ("number:description"). Context is prepended as an error passes
// a layer boundary, so the user sees where it happened as well as why.
#include <stdexcept>
#include <string>

namespace zentra {

// Error numbers used across the layers. Values below 1000 mirror the classic runtime
// errors the window's handlers report; the others belong to the mail-store components.
enum ErrorNumber : long {
    kErrSubscriptOutOfRange = 9,      // index outside an array, empty split, etc.
    kErrOverflow = 6,
    kErrOutOfMemory = 7,
    kErrFileNotFound = 53,
    kErrPathNotFound = 76,
    kErrPermissionDenied = 70,
    kErrDiskFull = 61,
    kErrDeviceIO = 57,
    kErrInvalidCall = 5,
    kErrObjectRequired = 424,
    kErrCannotCreateObject = 429,
    kErrFileTooLarge = 20476,         // the open dialog's selection does not fit its buffer

    kErrStoreCreate = 0x4001,         // a new personal folders file could not be created
    kErrStoreCorrupt = 0x4002,        // internal consistency failure in the PST engine
    kErrStoreWrite = 0x4003,          // a write to the store file failed
    kErrFolderNotFound = 0x4010,
    kErrFolderExists = 0x4011,        // a sibling folder already has that name (case-blind)
    kErrInvalidArgument = 0x4012,
    kErrNotLoggedOn = 0x4013,
    kErrStoreDetached = 0x4014,
    kErrImportFailed = 0x4020,        // a vCard file yielded no contact
    kErrNoExplorer = 0x4030,          // there is no mail-client window on this platform
};

class Error : public std::runtime_error {
public:
    Error(long number, std::string description)
        : std::runtime_error(std::to_string(number) + ":" + description),
          number_(number), description_(std::move(description)) {}

    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

    // A copy whose description starts with the given context, e.g.
    // "while saving contact 12 of /home/ann/a.vcf: disk full".
    Error withContext(const std::string& context) const {
        return Error(number_, context + ": " + description_);
    }

private:
    long number_;
    std::string description_;
};

}  // namespace zentra
