#pragma once

#include "FileSystemObject.h"
#include "ProgressBar.h"
#include "Window.h"

#include <QtGlobal>

#include <memory>
#include <string>

namespace Ui {
class Form1;
}

// The main window: choose a size, write the test file, open the speed test.
// It has no title bar; closing it (Alt+F4, the session ending) ends the
// program and removes the test file this run wrote.
class Form1 : public platform::Window {
    Q_OBJECT

public:
    Form1(platform::Window& form2, platform::Window& form3);
    ~Form1() override;

    // What the window remembers, for tests and the benchmark.
    qint16 sizeMB() const { return SizeMB; }
    qint16 fileCreated() const { return FileCreated; }
    const std::string& block() const { return Block; }
    bool holdsFileObjects() const { return FileSys || DummyStream; }
    const platform::ProgressBar& progressBar() const { return ProgressBar1; }

protected:
    QWidget* CreateControls() override;
    void ForgetControls() override;
    void Form_Load() override;
    void Form_Unload() override;

private:
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Option5_Click();
    void Option6_Click();
    void Option7_Click();
    void Option8_Click();
    void Option9_Click();
    void Option10_Click();
    void Command1_Click();
    void Command2_Click();
    void Info_Click();

    // The test-file writer (testfile/DummyFileGenerator.cpp).
    void CreateDummyFile();
    void BuildBlock();
    void ResetAfterCreate();
    void RecoverFromFailedWrite(const std::exception& error, bool fileTouched, bool testNetworkWasShown);

    std::shared_ptr<platform::FileSystemObject> FileSys;
    std::shared_ptr<platform::TextStream> DummyStream;
    qint16 SizeMB = 0;
    std::string DummyPath;
    std::string Block;
    qint16 FileCreated = 0;

    platform::ProgressBar ProgressBar1;
    std::unique_ptr<Ui::Form1> ui;
    platform::Window& m_form2;
    platform::Window& m_form3;
};
