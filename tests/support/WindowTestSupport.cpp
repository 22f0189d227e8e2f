#include "WindowTestSupport.h"

#include "HandlerGuard.h"
#include "Runtime.h"

#include <algorithm>
#include <filesystem>

namespace testsupport {

namespace fs = std::filesystem;

WindowTestEnvironment::WindowTestEnvironment()
{
    forms::setMessageBoxHandler([this](const forms::MessageBoxCall& call) { m_boxes.push_back(call); });
    forms::setEndProgramHandler([this](int status) { m_endStatus = status; });
    platform::setProgramFolderOverride(m_folder.path());
    useUsNumberFormat();
}

WindowTestEnvironment::~WindowTestEnvironment()
{
    forms::setMessageBoxHandler(nullptr);
    forms::setEndProgramHandler(nullptr);
    platform::setProgramFolderOverride(std::nullopt);
}

std::vector<std::string> WindowTestEnvironment::messages() const
{
    std::vector<std::string> shown;
    for (const auto& box : m_boxes)
        shown.push_back(describe(box));
    return shown;
}

std::string describe(const forms::MessageBoxCall& box)
{
    return box.title + " (" + std::to_string(box.style) + "): " + box.prompt;
}

std::string errorBox(const std::string& prompt)
{
    return "Error! (16): " + prompt;
}

std::string reportStart(int run)
{
    return "Transfer:" + std::to_string(run) + "\r\nTransfering file...please wait..\r\n";
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(std::u8string(folder.begin(), folder.end())))) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::int64_t sizeOf(const std::string& path)
{
    std::error_code missing;
    const auto size = fs::file_size(fs::path(std::u8string(path.begin(), path.end())), missing);
    return missing ? -1 : static_cast<std::int64_t>(size);
}

bool isTestFileContent(const std::string& path, std::int64_t size)
{
    if (sizeOf(path) != size)
        return false;
    const std::string content = readFile(path);
    return std::all_of(content.begin(), content.end(), [](char c) { return c == 'X'; });
}

std::chrono::nanoseconds TestClock::now() const
{
    const int index = m_readings++;
    const auto reading = m_step ? *m_step * index : m_real.now();
    if (const auto action = atReading.find(index); action != atReading.end())
        action->second();
    return reading;
}

SpeedTestSession::SpeedTestSession(std::optional<std::chrono::nanoseconds> step, std::chrono::nanoseconds resolution)
    : clock(step, resolution)
    , person(makePerson())
{
    forms.form1.Show();
}

bool SpeedTestSession::start(int megabytes)
{
    person->click(forms.form1, "Option" + std::to_string(megabytes / 10));
    person->click(forms.form1, "Command1");
    return sizeOf(testFile()) == megabytes * kMegabyte && openSpeedTest();
}

bool SpeedTestSession::openSpeedTest()
{
    if (!person->isShown(forms.form1, "Command2"))
        return false;
    person->click(forms.form1, "Command2");
    return forms.form2.Loaded() && person->isWindowShown(forms.form2);
}

void SpeedTestSession::duringCopy(std::function<void()> task, std::optional<int> reading)
{
    std::function<void()>& hook = clock.atReading[reading.value_or(clock.readings())];
    hook = [this, task = std::move(task), before = std::move(hook)] {
        if (before)
            before();
        m_copyWaiting = true;
        person->post([this, task] {
            task();
            resumeCopy();
        });
        (void)m_copyMayGoOn.try_acquire_for(std::chrono::seconds(10));
    };
}

void SpeedTestSession::resumeCopy()
{
    if (m_copyWaiting.exchange(false))
        m_copyMayGoOn.release();
}

} // namespace testsupport
