#include "service/consolelines.h"

#include <cstdio>

#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/stdoutput.h"

namespace {

STRING Number(DWORD value)
{
    char text[16];
    snprintf(text, sizeof(text), "%lu", static_cast<unsigned long>(value));
    return STRING(text);
}

// How the lines of the commands that change the service go on, in English and German.
struct ROADWORDS {
    Road road;
    const char* done[2];
    const char* failed[2];
};
constexpr ROADWORDS ROAD_WORDS[] = {
    {Road::Start, {"started", "gestartet"}, {"could not be started", "konnte nicht gestartet werden"}},
    {Road::Stop, {"stopped", "gestoppt"}, {"could not be stopped", "konnte nicht gestoppt werden"}},
    {Road::Install, {"installed", "installiert"}, {"could not be installed", "konnte nicht installiert werden"}},
    {Road::Uninstall,
     {"uninstalled", "deinstalliert"},
     {"could not be uninstalled", "konnte nicht deinstalliert werden"}},
};

const ROADWORDS* WordsOf(Road road)
{
    for (const ROADWORDS& words : ROAD_WORDS)
        if (words.road == road)
            return &words;
    return nullptr;
}

// A state as the sentence "Service X is ..." goes on, English and German, for the states
// SERVICE_STOPPED (1) to SERVICE_PAUSED (7).
constexpr const char* STATE_WORDS[][2] = {
    {"is stopped", "ist gestoppt"},
    {"is start pending", "startet"},
    {"is stop pending", "wird gestoppt"},
    {"is running", "l\xE4uft"},
    {"is continue pending", "wird fortgesetzt"},
    {"is pause pending", "wird angehalten"},
    {"is paused", "ist angehalten"},
};

const char* StateWords(DWORD state, bool german)
{
    if (state < SERVICE_STOPPED || state > SERVICE_PAUSED)
        return german ? "hat einen unbekannten Status" : "is in an unknown state";
    return STATE_WORDS[state - SERVICE_STOPPED][german];
}

// What the codes of a stopped service's last run say, in the terms of this service.
STRING LastRunMeaning(const SERVICESTATE& state, bool german)
{
    switch (state.win32ExitCode) {
    case ERROR_SERVICE_SPECIFIC_ERROR:
        return STRING(german ? "die Anwendung hat sich selbst mit Exitcode "
                             : "the application ended by itself with exit code ") +
               Number(state.specificExitCode) + (german ? " beendet" : "");
    case ERROR_SERVICE_NEVER_STARTED:
        return german ? "er ist seit dem Systemstart nicht gelaufen" : "it has not run since the system started";
    case ERROR_ACCESS_DENIED:
        return german ? "die Anwendung wurde nicht gestartet, weil ein nicht vertrauensw\xFCrdiges Konto eine ihrer "
                        "Dateien oder Ordner \xE4ndern kann (das Protokoll nennt sie)"
                      : "the application was not started because an untrusted account can change one of its files or "
                        "folders (the log names it)";
    default:
        return STRING(german ? "die Anwendung konnte nicht gestartet werden: "
                             : "the application could not be started: ") +
               SystemErrorText(state.win32ExitCode, german);
    }
}

} // namespace

int StatusExitCode(const SERVICESTATE& state)
{
    if (state.queryError)
        return EXIT_STATUS_UNREADABLE;
    if (!state.installed)
        return EXIT_STATUS_NOT_INSTALLED;
    if (state.state == SERVICE_RUNNING)
        return EXIT_STATUS_RUNNING;
    return state.state == SERVICE_STOPPED ? EXIT_STATUS_STOPPED : EXIT_STATUS_PENDING;
}

STRING SystemErrorText(DWORD error, bool german)
{
    return STRING(german ? "Fehler " : "error ") + Number(error) + ": " + OSYS::GetErrorText(static_cast<int>(error));
}

STRING DoneLine(Road road, const STRING& service, bool german)
{
    const ROADWORDS* words = WordsOf(road);
    return "Service " + service + " " + (words ? words->done[german] : "") + ".";
}

STRING FailedLine(Road road, const STRING& service, const STRING& why, bool german)
{
    const ROADWORDS* words = WordsOf(road);
    return "Service " + service + " " + (words ? words->failed[german] : "") + ": " + why;
}

STRING StopTimedOutLine(const STRING& service, DWORD state, bool german)
{
    return german ? "Service " + service + " hat nicht innerhalb von 21 Sekunden gestoppt; er " +
                        StateWords(state, true) + "."
                  : "Service " + service + " did not stop within 21 seconds; it " + StateWords(state, false) + ".";
}

STRING StatusLine(const STRING& service, const SERVICESTATE& state, bool german)
{
    if (state.queryError)
        return STRING(german ? "Der Status von Service " : "The state of service ") + service +
               (german ? " ist nicht lesbar: " : " cannot be read: ") + SystemErrorText(state.queryError, german);
    if (!state.installed)
        return "Service " + service + (german ? " ist nicht installiert." : " is not installed.");
    STRING line = "Service " + service + " " + StateWords(state.state, german);
    if (state.state == SERVICE_RUNNING) {
        line += german ? " (Service-Prozess " : " (service process ";
        line += Number(state.serviceProcess);
        if (state.applicationProcess)
            line += (german ? ", Anwendungsprozess " : ", application process ") + Number(state.applicationProcess);
        else
            line += german ? ", keine Anwendung" : ", no application";
        line += ")";
    } else if (state.state == SERVICE_STOPPED) {
        if (state.win32ExitCode == NO_ERROR) {
            line += german ? " (ohne Fehler beendet)" : " (it ended without an error)";
        } else {
            line += german ? " (Win32-Exitcode " : " (Win32 exit code ";
            line += Number(state.win32ExitCode);
            line += german ? ", servicespezifischer Exitcode " : ", service-specific exit code ";
            line += Number(state.specificExitCode) + ": " + LastRunMeaning(state, german) + ")";
        }
    }
    return line + ".";
}

STRING LaunchFailedLine(const STRING& service, int exitCode, bool german)
{
    STRING why = exitCode == ResultCode(ServiceResult::DispatcherFailed)
                     ? STRING(german ? "nicht vom Dienststeuerungs-Manager gestartet"
                                     : "not started by the Service Control Manager")
                     : "Service " + service +
                           (german ? " ist nicht installiert oder seine Konfiguration wird abgelehnt"
                                   : " is not installed or its configuration is refused");
    return STRING(german ? "Ohne Schalter ist dieses Programm der Service-Prozess: "
                         : "Without a switch this program is the service process: ") +
           why + (german ? ". Die Schalter zeigt /?." : ". /? shows the switches.");
}

STRING ConfigErrorLine(const STRING& file, const STRING& why, bool german)
{
    return STRING(german ? "Service.cfg nicht gefunden oder fehlerhaft: " : "Service.cfg not found or wrong: ") + file +
           ": " + why;
}

void SayLine(const STRING& line)
{
    LogPrint("%s\n", line.c_str());
    OSYS::WriteStandardLine(line.c_str());
}
