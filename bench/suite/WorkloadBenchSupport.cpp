#include "WorkloadBenchSupport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace workloadbench {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Child run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment)
{
    Child child;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return child;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipe[1], STDOUT_FILENO);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipe[1]);
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        child.out.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    rusage usage{};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        child.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        child.peakKiB = usage.ru_maxrss;
    }
    return child;
}

std::optional<QJsonObject> runCli(const std::string& program, std::vector<std::string> args, const std::string& tmp,
                                  long* peakKiB)
{
    args.insert(args.begin(), {program, "--format=json"});
    const Child child = run(args, {{"TMPDIR", tmp}});
    if (child.status != 0) {
        std::fprintf(stderr, "%s ended with %d\n", program.c_str(), child.status);
        return std::nullopt;
    }
    if (peakKiB)
        *peakKiB = child.peakKiB;
    return QJsonDocument::fromJson(QByteArray::fromStdString(child.out)).object();
}

double phaseRate(const QJsonObject& result, const char* phase)
{
    for (const QJsonValue& run : result["runs"].toArray()) {
        for (const QJsonValue& figures : run["phases"].toArray()) {
            if (figures["phase"].toString() == phase)
                return figures["operations_per_second"].toDouble();
        }
    }
    return 0;
}

double largeRate(const QJsonObject& result, const char* test)
{
    return result["summary"][test]["bytes_per_second"]["median"].toDouble();
}

std::optional<double> fioFilesPerSecond(const std::string& folder, int files, long bytes)
{
    std::filesystem::create_directories(folder);
    const std::string size = std::to_string(bytes);
    const Child fio = run({"fio", "--name=smallfiles", "--directory=" + folder, "--nrfiles=" + std::to_string(files),
                           "--filesize=" + size, "--size=" + std::to_string(bytes * files), "--bs=" + size,
                           "--rw=write", "--ioengine=psync", "--openfiles=1", "--create_on_open=1",
                           "--fsync_on_close=1", "--fallocate=none", "--invalidate=0",
                           "--file_service_type=sequential", "--filename_format=f$filenum.tmp",
                           "--output-format=json"});
    removeAll(folder);
    const QJsonObject result = QJsonDocument::fromJson(QByteArray::fromStdString(fio.out)).object();
    const double milliseconds = result["jobs"][0]["job_runtime"].toDouble();
    if (fio.status != 0 || milliseconds <= 0) {
        std::fprintf(stderr, "fio failed (%d)\n", fio.status);
        return std::nullopt;
    }
    return files / (milliseconds / 1000);
}

std::optional<double> loopFilesPerSecond(const std::string& folder, int files, long bytes)
{
    std::filesystem::create_directories(folder);
    const std::vector<char> data(static_cast<std::size_t>(bytes), 'x');
    bool ok = true;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= files && ok; ++i) {
        const std::string name = folder + "/f" + std::to_string(i) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        ok = fd >= 0 && ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) && ::fsync(fd) == 0;
        ok = fd >= 0 && ::close(fd) == 0 && ok;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    removeAll(folder);
    if (!ok) {
        std::perror("the plain loop failed");
        return std::nullopt;
    }
    return files / seconds;
}

void removeAll(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

int fail(const std::string& what)
{
    std::fprintf(stderr, "benchmark stopped: %s\n", what.c_str());
    return 1;
}

} // namespace workloadbench
