#pragma once

#include "FileSystemObject.h"
#include "Window.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <stop_token>
#include <string>

// The main window: choose a size, write the test file, open the speed test.
// It has no title bar; closing it (Alt+F4, the session ending) ends the
// program and removes the test file this run wrote.
class Form1 : public forms::Window {
public:
    Form1(forms::Window& form2, forms::Window& form3);

    static const forms::WindowDesign& design();

private:
    void Form_Load() override;
    void Form_Unload() override;

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

    // Writing the test file.
    void CreateDummyFile();
    void BuildBlock();
    void WriteDummyFile(std::int32_t blocks, std::atomic<std::int32_t>& written, std::stop_token stop);
    void ResetAfterCreate();
    void RecoverFromFailedWrite(const std::exception& error);

    std::shared_ptr<platform::FileSystemObject> FileSys;
    std::shared_ptr<platform::TextStream> DummyStream;
    std::int16_t SizeMB = 0;
    platform::ResolvedPath DummyPath;
    std::string Block;
    std::int16_t FileCreated = 0;

    forms::Frame Frame1{*this, "Frame1"};
    forms::CommandButton Command2{*this, "Command2"};
    forms::CommandButton Command1{*this, "Command1"};
    forms::ProgressBar ProgressBar1{*this, "ProgressBar1"};
    forms::OptionButton Option10{*this, "Option10"};
    forms::OptionButton Option9{*this, "Option9"};
    forms::OptionButton Option8{*this, "Option8"};
    forms::OptionButton Option7{*this, "Option7"};
    forms::OptionButton Option6{*this, "Option6"};
    forms::OptionButton Option5{*this, "Option5"};
    forms::OptionButton Option4{*this, "Option4"};
    forms::OptionButton Option3{*this, "Option3"};
    forms::OptionButton Option2{*this, "Option2"};
    forms::OptionButton Option1{*this, "Option1"};
    forms::MenuItem Info{*this, "Info"};

    forms::Window& m_form2;
    forms::Window& m_form3;
};
