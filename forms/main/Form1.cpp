#include "Form1.h"

#include "DummyFile.h"
#include "MessageBox.h"
#include "Runtime.h"

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
    OnClick(Command1, &Form1::Command1_Click);
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

    const bool testNetworkWasShown = Command2.Visible();
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
            ProgressBar1.SetValue(static_cast<float>(i));
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
    ProgressBar1.SetValue(1);
    Command2.SetVisible(true);
}

// A half-written test file would be copied and timed as if it were whole, so
// it goes, and the window returns to where it was before the click.
void Form1::RecoverFromFailedWrite(const std::exception& error, bool fileTouched, bool testNetworkWasShown)
{
    DummyStream.reset();
    FileSys.reset();
    Block.clear();
    ProgressBar1.SetValue(ProgressBar1.Min());
    Command2.SetVisible(testNetworkWasShown);
    try {
        if (fileTouched && platform::FileSystemObject().FileExists(DummyPath))
            platform::DeleteFile(DummyPath);
    } catch (const std::exception&) {
        // The write error below is the one the user needs to see.
    }
    forms::MsgBox(error.what(), forms::vbCritical, errorTitle);
}

void Form1::Form_Unload()
{
    if (FileCreated == -1) {
        const std::string path = dummyFilePath();
        // Someone may have removed the file meanwhile; closing goes on regardless.
        if (platform::FileSystemObject().FileExists(path))
            platform::DeleteFile(path);
    }
    for (forms::Window* window : forms::Window::LoadedWindows())
        window->Unload();
}
