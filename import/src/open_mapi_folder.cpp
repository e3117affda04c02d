#include "import/open_mapi_folder.h"

#include "mailstore/mail_client.h"

namespace importrun {

using zentra::mailstore::Application;
using zentra::mailstore::Folder;
using zentra::mailstore::Namespace;

// Every step runs under skip-on-failure: a failing call leaves the walk where it was, and the
// failure goes to `skipped` for a caller that reports what it could not do.
std::shared_ptr<Folder> OpenMAPIFolder(zentra::mailstore::ComponentRegistry& components, const QString& szPath,
                                       std::vector<zentra::Error>* skipped) {
    auto skip = [skipped](const zentra::Error& e) {
        if (skipped) skipped->push_back(e);
    };
    std::shared_ptr<Folder> current;
    std::shared_ptr<Application> app;
    std::shared_ptr<Namespace> mapi;
    try {
        app = components.createObject<Application>("Outlook.Application");
    } catch (const zentra::Error& e) {
        skip(e);
    }

    QString rest = szPath;
    if (rest.startsWith(u'\\')) {
        rest.remove(0, 1);
    } else if (app) {
        try {
            current = app->ActiveExplorer()->CurrentFolder();
        } catch (const zentra::Error& e) {
            skip(e);
        }
    }

    while (!rest.isEmpty()) {
        QString component;
        const qsizetype cut = rest.indexOf(u'\\');
        if (cut >= 0) {
            component = rest.left(cut);
            rest = rest.mid(cut + 1);
        } else {
            component = rest;
            rest.clear();
        }
        try {
            const std::string name = component.toStdString();
            if (!current) {
                if (!app) continue;
                mapi = app->GetNamespace("MAPI");
                current = mapi->Folders()->Item(name);
            } else {
                current = current->Folders()->Item(name);
            }
        } catch (const zentra::Error& e) {
            skip(e);   // not found: keep the last folder found and look the next component up there
        }
    }
    return current;
}

}  // namespace importrun
