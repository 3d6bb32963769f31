#include "hardening_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/platform.h"

ToolRun RunToolLimited(const std::vector<std::string>& words, const std::string& folder, size_t memoryLimit,
                       unsigned timeoutSeconds) {
    ToolRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    std::vector<std::string> args = {VORDA_BINARY};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
        if (memoryLimit) {
            rlimit limit{memoryLimit, memoryLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        alarm(timeoutSeconds);  // SIGALRM ends a child that hangs
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, size_t(n));
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    run.timedOut = WIFSIGNALED(raw) && WTERMSIG(raw) == SIGALRM;
    if (WIFSIGNALED(raw)) run.output += "\n[killed by signal " + std::to_string(WTERMSIG(raw)) + "]\n";
    return run;
}

bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

std::string StrictXmlErrors(const std::vector<std::string>& paths) {
    char name[] = "/tmp/vorda_xml_list_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return "cannot make a list file";
    const std::string listFile = name;
    FILE* f = fdopen(fd, "w");
    if (!f) return "cannot write " + listFile;
    for (const std::string& p : paths) std::fprintf(f, "%s\n", p.c_str());
    std::fclose(f);
    const std::string command =
        "/usr/bin/python3 -c \"import sys\nfrom lxml import etree\n"
        "for p in open(sys.argv[1]).read().splitlines():\n"
        "  try: etree.parse(p, etree.XMLParser(recover=False, resolve_entities=False))\n"
        "  except Exception as e: print(p + ': ' + str(e))\n\" '" +
        listFile + "' 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        if (pclose(pipe) != 0) out += "python3 with lxml failed\n";
    } else {
        out = "cannot run python3";
    }
    std::remove(listFile.c_str());
    return out;
}

std::vector<unsigned char> ZemWithForm(const char* formType, const std::function<void(ByteWriter&)>& fill) {
    ByteWriter w;
    size_t at = BeginForm(w, "VERS");
    PutU32(w, 512);
    EndChunk(w, at);
    at = BeginForm(w, "NAME");
    PutText(w, "Drelmarch2 Multi Mesh File");
    EndChunk(w, at);
    at = BeginForm(w, formType);
    fill(w);
    EndChunk(w, at);
    return w.bytes;
}

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path.c_str(), bytes)) bytes.clear();
    return bytes;
}
