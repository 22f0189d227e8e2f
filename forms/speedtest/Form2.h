#pragma once

#include "FileSystemObject.h"
#include "Window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The speed-test window: the user types a target folder and clicks
// "Check speed"; the test file is copied there, timed, reported and removed.
class Form2 : public forms::Window {
public:
    Form2();

    static const forms::WindowDesign& design();

private:
    void Form_Load() override;
    void Command1_Click();

    // The target path.
    void NormalizeTargetPath();
    void CheckTargetPath();

    // The measurement.
    void RunTransfer();
    void DeleteRemoteFile();
    void AppendReportLine(const std::string& line);
    std::string TargetPath();

    std::int16_t TransferCount = 0;
    std::shared_ptr<platform::FileSystemObject> FileSys;
    std::optional<bool> PathError;
    // The folder the path check found, looked up once: the copy goes there
    // and nowhere the typed text might lead by the time it starts.
    platform::ResolvedPath TargetFolder;
    // Where the latest copy went; the clean-up deletes this.
    platform::ResolvedPath RemoteCopy;

    forms::TextBox Text2{*this, "Text2"};
    forms::TextBox Text1{*this, "Text1"};
    forms::CommandButton Command1{*this, "Command1"};
    forms::Image Image3{*this, "Image3"};
    forms::Image Image2{*this, "Image2"};
    forms::Image Image1{*this, "Image1"};
    forms::Label Label1{*this, "Label1"};
};
