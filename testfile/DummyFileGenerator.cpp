// The test-file writer of the main window: "Create dummyfile".

#include "Form1.h"

#include "ui_Form1.h"

#include "DummyFile.h"
#include "MessageBox.h"
#include "Runtime.h"

#include <QString>

#include <cstdint>

namespace {

const QString errorTitle = QStringLiteral("Major error DUDE!!");

} // namespace

void Form1::Command1_Click()
{
    CreateDummyFile();
}

void Form1::CreateDummyFile()
{
    if (SizeMB == 0) {
        platform::MsgBox(QStringLiteral("Select the size of the file!!!"), platform::vbCritical, errorTitle);
        return;
    }
    const std::int32_t blocks = std::int32_t{SizeMB} * 1024;
    ProgressBar1.setMin(1);
    ProgressBar1.setMax(static_cast<float>(blocks));
    BuildBlock();

    const bool testNetworkWasShown = !ui->Command2->isHidden();
    bool fileTouched = false;
    try {
        DummyPath = dummyFilePath();
        FileSys = std::make_shared<platform::FileSystemObject>();
        fileTouched = true;
        if (!FileSys->FileExists(DummyPath)) {
            DummyStream = FileSys->CreateTextFile(DummyPath, true);
            platform::release(DummyStream);
        }
        DummyStream = FileSys->OpenTextFile(DummyPath, platform::FileSystemObject::IOMode::ForWriting, true);
        for (std::int32_t i = 1; i <= blocks; ++i) {
            ProgressBar1.setValue(static_cast<float>(i));
            DummyStream->write(Block);
        }
        ResetAfterCreate();
        platform::release(DummyStream);
        FileSys.reset();
    } catch (const std::exception& error) {
        RecoverFromFailedWrite(error, fileTouched, testNetworkWasShown);
        return;
    }
    FileCreated = -1;
}

void Form1::BuildBlock()
{
    for (int i = 1; i <= 1024; ++i)
        Block += 'X';
}

void Form1::ResetAfterCreate()
{
    Block.clear();
    ProgressBar1.setValue(1);
    ui->Command2->setVisible(true);
}

// A half-written test file would be copied and timed as if it were whole, so
// it goes, and the window returns to where it was before the click.
void Form1::RecoverFromFailedWrite(const std::exception& error, bool fileTouched, bool testNetworkWasShown)
{
    DummyStream.reset();
    FileSys.reset();
    Block.clear();
    ProgressBar1.setValue(ProgressBar1.Min());
    ui->Command2->setVisible(testNetworkWasShown);
    try {
        if (fileTouched && platform::FileSystemObject().FileExists(DummyPath))
            platform::DeleteFile(DummyPath);
    } catch (const std::exception&) {
        // The write error below is the one the user needs to see.
    }
    platform::MsgBox(QString::fromStdString(error.what()), platform::vbCritical, errorTitle);
}
