#pragma once
// A window-less stage for the import run: memory controls, the scripted UI, real temporary
// source trees and destination folders, and the real in-process components.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <memory>

#include "import/import_run.h"
#include "mailstore/component_registry.h"
#include "platform/memory_controls.h"
#include "platform/scripted_ui_services.h"
#include "sources/file_list.h"

namespace importtest {

// The clock the run reads: 6 December 2026 09:05:07, one second later on every read.
inline std::function<QDateTime()> steppingClock() {
    auto t = std::make_shared<QDateTime>(QDate(2026, 12, 6), QTime(9, 5, 7));
    return [t] {
        QDateTime now = *t;
        *t = t->addSecs(1);
        return now;
    };
}

class RunStage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sources_.isValid());
        ASSERT_TRUE(dest_.isValid());
    }

    // A vCard file below the source tree; returns its full path.
    QString vcf(const QString& relative, const std::string& fn) {
        const QString path = sources_.path() + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path.toStdString()).parent_path());
        std::ofstream(path.toStdString()) << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << fn << "\r\nN:" << fn
                                          << ";;;;\r\nEND:VCARD\r\n";
        return path;
    }

    importrun::RunWidgets widgets() {
        return importrun::RunWidgets{grid, bar1, bar2, frame, label, importCommand, {&addCommand, &clearCommand}};
    }

    importrun::RunPolicy policy() {
        importrun::RunPolicy p;
        p.clock = steppingClock();
        return p;
    }

    QString expectedStorePath() const { return dest_.path() + "/ZentraContacts6.12.26 9.5.07.pst"; }

    zentra::mailstore::ComponentRegistry components;   // the mail-store components of this test
    platform::ScriptedUiServices ui;
    platform::MemoryGrid grid;
    platform::MemoryText count{"0 files"};
    platform::MemoryProgress bar1, bar2;
    platform::MemoryText frame{"Details"};
    platform::MemoryText label{"Converting Contacts..."};
    platform::MemoryEnabled importCommand{true};
    platform::MemoryEnabled addCommand{true};
    platform::MemoryEnabled clearCommand{true};
    sources::FileList files{grid, count};
    importrun::RunState state;
    QTemporaryDir sources_;
    QTemporaryDir dest_;
};

}  // namespace importtest
