#include "Form1.h"

#include "Background.h"
#include "DummyFile.h"
#include "MessageBox.h"
#include "PlatformError.h"
#include "Runtime.h"

#include <algorithm>

namespace {

const std::string errorTitle = "Major error DUDE!!";

} // namespace

Form1::Form1(forms::Window& form2, forms::Window& form3)
    : forms::Window(design())
    , m_form2(form2)
    , m_form3(form3)
{
    OnClick(Option1, &Form1::Option1_Click);
    OnClick(Option2, &Form1::Option2_Click);
    OnClick(Option3, &Form1::Option3_Click);
    OnClick(Option4, &Form1::Option4_Click);
    OnClick(Option5, &Form1::Option5_Click);
    OnClick(Option6, &Form1::Option6_Click);
    OnClick(Option7, &Form1::Option7_Click);
    OnClick(Option8, &Form1::Option8_Click);
    OnClick(Option9, &Form1::Option9_Click);
    OnClick(Option10, &Form1::Option10_Click);
    OnClick(Command1, &Form1::Command1_Click, Starts::Work);
    OnClick(Command2, &Form1::Command2_Click);
    OnClick(Info, &Form1::Info_Click);
}

void Form1::Form_Load()
{
    FileCreated = 0;
}

void Form1::Option1_Click() { SizeMB = 10; }
void Form1::Option2_Click() { SizeMB = 20; }
void Form1::Option3_Click() { SizeMB = 30; }
void Form1::Option4_Click() { SizeMB = 40; }
void Form1::Option5_Click() { SizeMB = 50; }
void Form1::Option6_Click() { SizeMB = 60; }
void Form1::Option7_Click() { SizeMB = 70; }
void Form1::Option8_Click() { SizeMB = 80; }
void Form1::Option9_Click() { SizeMB = 90; }
void Form1::Option10_Click() { SizeMB = 100; }

void Form1::Command1_Click()
{
    CreateDummyFile();
}

void Form1::Command2_Click()
{
    m_form2.Show();
}

void Form1::Info_Click()
{
    m_form3.Show();
}

void Form1::CreateDummyFile()
{
    if (SizeMB == 0) {
        forms::MsgBox("Select the size of the file!!!", forms::vbCritical, errorTitle);
        return;
    }
    const std::int32_t blocks = std::int32_t{SizeMB} * 1024;
    ProgressBar1.SetMin(1);
    ProgressBar1.SetMax(static_cast<float>(blocks));
    BuildBlock();
    DummyPath = dummyFilePath();

    // The bar follows the blocks written as often as anyone can see it move.
    std::atomic<std::int32_t> written = 0;
    try {
        forms::RunInBackground(
            *this, [&](std::stop_token stop) { WriteDummyFile(blocks, written, stop); },
            [&] { ProgressBar1.SetValue(static_cast<float>(std::max(1, written.load()))); });
    } catch (const platform::Cancelled& stopped) {
        // Closing the window stopped the write. The writer removed its file,
        // unless it had just finished as the stop came; nothing is left for
        // the closing to delete, since the write never completed.
        Block.clear();
        std::string leftOver = stopped.leftOver();
        if (leftOver.empty())
            leftOver = platform::removeLeftOver(DummyPath);
        if (!leftOver.empty())
            forms::MsgBox("The test file was not written" + leftOver, forms::vbCritical, errorTitle);
        return;
    } catch (const std::exception& error) {
        Block.clear();
        if (Loaded())
            RecoverFromFailedWrite(error);
        else
            forms::MsgBox(error.what(), forms::vbCritical, errorTitle);
        return;
    }
    ProgressBar1.SetValue(static_cast<float>(blocks));
    ResetAfterCreate();
    FileCreated = -1;
}

void Form1::BuildBlock()
{
    for (int i = 1; i <= 1024; ++i)
        Block += 'X';
}

// Runs on the worker thread. A half-written test file would be copied and
// timed as if it were whole, so a write that does not reach the end removes
// the file again; so does one stopped while its last block was flushed.
void Form1::WriteDummyFile(std::int32_t blocks, std::atomic<std::int32_t>& written, std::stop_token stop)
{
    try {
        FileSys = std::make_shared<platform::FileSystemObject>();
        if (!FileSys->FileExists(DummyPath)) {
            DummyStream = FileSys->CreateTextFile(DummyPath, true);
            platform::release(DummyStream);
        }
        DummyStream = FileSys->OpenTextFile(DummyPath, platform::FileSystemObject::IOMode::ForWriting, true);
        for (std::int32_t i = 1; i <= blocks; ++i) {
            if (stop.stop_requested())
                throw platform::Cancelled();
            DummyStream->write(Block);
            written = i;
        }
        platform::release(DummyStream);
        FileSys.reset();
        if (stop.stop_requested())
            throw platform::Cancelled();
    } catch (const platform::Cancelled&) {
        DummyStream.reset();
        FileSys.reset();
        throw platform::Cancelled(platform::removeLeftOver(DummyPath));
    } catch (const platform::Error& error) {
        DummyStream.reset();
        FileSys.reset();
        const std::string leftOver = platform::removeLeftOver(DummyPath);
        if (leftOver.empty())
            throw;
        throw platform::Error(error.what() + leftOver, error.code());
    }
}

void Form1::ResetAfterCreate()
{
    Block.clear();
    ProgressBar1.SetValue(1);
    Command2.SetVisible(true);
}

// The window goes back to idle. Without a test file there is nothing to
// test the network with, whatever an earlier write left.
void Form1::RecoverFromFailedWrite(const std::exception& error)
{
    ProgressBar1.SetValue(ProgressBar1.Min());
    bool fileLeft = false;
    try {
        fileLeft = platform::FileSystemObject().FileExists(DummyPath);
    } catch (const std::exception&) {
        // A folder that cannot even be looked into offers no file to test with.
    }
    if (!fileLeft) {
        Command2.SetVisible(false);
        FileCreated = 0;
    }
    forms::MsgBox(error.what(), forms::vbCritical, errorTitle);
}

void Form1::Form_Unload()
{
    // A copy of the test file may be running; it ends before the file goes.
    forms::StopWork();
    if (FileCreated == -1) {
        const platform::ResolvedPath path = dummyFilePath();
        // Someone may have removed the file meanwhile; closing goes on regardless.
        if (platform::FileSystemObject().FileExists(path))
            platform::DeleteFile(path);
    }
    for (forms::Window* window : forms::Window::LoadedWindows())
        window->Unload();
}
