#include "vprinter/CVirtualPrinter.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "preview/PngWriter.h"
#include "vprinter/CVirtualPrinterImpl.h"

using namespace StatusProtocol;

CVirtualPrinter::Impl::Impl(const Options& o) : options(o), protocol(ForLanguage(o.language)) {
    conditions = o.conditions;
    silent = o.silent;
    for (size_t i = 0; protocol && i < protocol->queries.size(); i++)
        for (const std::string& name : o.ignoredQueries)
            if (protocol->NameOf(i) == name)
                ignored |= 1u << i;
    reading = {o.bytesPerSecond, o.stopReadingAfter, o.resetAfter};
}

CVirtualPrinter::CVirtualPrinter(const Options& options) : m(std::make_unique<Impl>(options)) {
    m->threads.emplace_back([this] { m->Engine(); });
}

CVirtualPrinter::~CVirtualPrinter() {
    m->stop = true;
    {
        std::lock_guard<std::mutex> lock(m->lock);
        m->changed.notify_all();
    }
    for (std::thread& thread : m->threads)
        thread.join();
    m->stopped.insert(m->stopped.end(), {m->listenFd, m->ptyFd, m->controlFd});
    for (int fd : m->stopped)
        if (fd >= 0)
            close(fd);
    if (!m->controlPath.empty())
        unlink(m->controlPath.c_str());
}

Conditions CVirtualPrinter::Impl::Now() const {
    Conditions now = conditions;
    const bool runOut = !runOutEnded && ((options.paperOutAfterLabels >= 0 && labels >= options.paperOutAfterLabels) ||
                                         (options.paperOutAfterMm >= 0 && paperMm >= options.paperOutAfterMm));
    if (runOut)
        now |= kPaperOut;
    if (printing || !waiting.empty())
        now |= kPrinting;
    return now;
}

void CVirtualPrinter::Impl::Log(const std::string& line) {
    if (!options.outDir.empty())
        if (std::FILE* file = std::fopen((options.outDir + "/printed.log").c_str(), "a")) {
            std::fprintf(file, "%s\n", line.c_str());
            std::fclose(file);
        }
    if (options.log) {
        std::fprintf(options.log, "%s\n", line.c_str());
        std::fflush(options.log);
    }
}

void CVirtualPrinter::Impl::Engine() {
    std::unique_lock<std::mutex> hold(lock);
    while (!stop) {
        if (waiting.empty() || StoppedNow()) {
            changed.wait(hold);
            continue;
        }
        Queued next = std::move(waiting.front());
        waiting.pop_front();
        printing = true;
        hold.unlock();
        // The label takes its time; a condition arising meanwhile stops the
        // printer after it, as a real one finishes the label under its head.
        const auto done = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.msPerLabel);
        while (!stop && std::chrono::steady_clock::now() < done)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(options.msPerLabel, 10)));
        Printed& page = next.page;
        char text[96];
        std::snprintf(text, sizeof text, "job %d, page %d: %d x %d dots, %zu black dots; ", page.job, page.page,
                      page.image.Width(), page.image.Height(), page.image.BlackDots());
        page.line = text + page.image.SettingsText();
        if (!options.outDir.empty() && page.image.Width() > 0 && page.image.Height() > 0) {
            std::snprintf(text, sizeof text, "/job%04d-page%03d.png", page.job, page.page);
            std::string error;
            if (!WritePng(page.image, options.outDir + text, error))
                Log("job " + std::to_string(page.job) + ": cannot write " + options.outDir + text + ": " + error);
        }
        Log(page.line);
        hold.lock();
        labels++;
        paperMm += page.image.Height() * 25.4 / options.dpi;
        printed.push_back(std::move(page));
        ++*next.jobPrinted;
        printing = false;
        changed.notify_all();
    }
}

void CVirtualPrinter::Set(Conditions add, Conditions clear) {
    std::lock_guard<std::mutex> lock(m->lock);
    m->conditions = (m->conditions & ~clear) | add;
    m->changed.notify_all();
}

void CVirtualPrinter::LoadPaper() {
    std::lock_guard<std::mutex> lock(m->lock);
    m->conditions &= ~(kPaperOut | kPaperLow);
    m->runOutEnded = true;
    m->changed.notify_all();
}

void CVirtualPrinter::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m->lock);
    m->silent = silent;
}

void CVirtualPrinter::SetRate(size_t bytesPerSecond) {
    std::lock_guard<std::mutex> lock(m->lock);
    m->reading.bytesPerSecond = bytesPerSecond;
}

void CVirtualPrinter::SetStopReadingAfter(size_t bytes) {
    std::lock_guard<std::mutex> lock(m->lock);
    m->reading.stopReadingAfter = bytes;
}

void CVirtualPrinter::SetResetAfter(size_t bytes) {
    std::lock_guard<std::mutex> lock(m->lock);
    m->reading.resetAfter = bytes;
}

Conditions CVirtualPrinter::State() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->Now();
}

std::vector<CVirtualPrinter::Printed> CVirtualPrinter::PrintedPages() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->printed;
}

size_t CVirtualPrinter::PagesPrinted() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->printed.size();
}

bool CVirtualPrinter::WaitPrinted(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m->lock);
    return m->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m->printed.size() >= count; });
}

std::vector<std::string> CVirtualPrinter::Refused() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->refused;
}

size_t CVirtualPrinter::QueriesAnswered() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->queries;
}

size_t CVirtualPrinter::BytesReceived() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->bytes;
}

int CVirtualPrinter::JobsEnded() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->jobsEnded;
}

std::vector<std::vector<uint8_t>> CVirtualPrinter::JobBytes() const {
    std::lock_guard<std::mutex> lock(m->lock);
    return m->jobBytes;
}
