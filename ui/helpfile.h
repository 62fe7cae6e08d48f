// HELPFILE: the program's one help file - a compiled HTML help file shown through the HTML
// Help engine, or a classic help file shown through WinHelpA - with the topic ids the file
// contains and a table that maps window and control ids to topics.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text/stringarray.h"
#include "text/strings.h"

// One entry of the id-to-topic table, both numbers as decimal text.
struct HELPMAPPING {
    STRING Id;
    STRING Topic;
};

class HELPFILE {
public:
    static constexpr int MAPPINGS_MAX = 128;
    // Pieces in which the topic list file is read; a longer line continues in the next piece.
    static constexpr int LIST_LINE_MAX = 511;
    // The text handed to the HTML engine for a topic; longer texts are cut.
    static constexpr int TOPIC_TEXT_MAX = 1023;

    HELPFILE();
    ~HELPFILE();
    HELPFILE(const HELPFILE&) = delete;
    HELPFILE& operator=(const HELPFILE&) = delete;

    // Takes the help file (html: 1 compiled HTML help, 0 classic help) and appends the topic
    // ids of its list file (the name ending in "ids", else "cnt") to the topic list. An HTML
    // file on a network drive is shown from a copy in the TEMP folder. A null name only logs.
    void SetFilename(const char* name, int html);
    bool HasFile() const;
    // Shows the topic for an id (mapped through the table first); 1 when the topic is in the
    // topic list (shown, as far as the engine can), 0 when it is not.
    int ShowTopic(unsigned long id);
    // The first non-zero ShowTopic for the control ids along the window's parent chain.
    int ShowHelpForWindow(HWND window);
    // The table of contents (classic: the finder when finder is set); the engine's result.
    intptr_t ShowContents(int finder);
    // Maps an id to a topic, replacing an earlier mapping of the id; a full table drops it.
    void AddMapping(unsigned long id, unsigned long topic);
    // Lets the HTML Help viewer take a message first; true when it did.
    bool PreTranslate(MSG* message);
    // The default topic as a number, -1 when there is none.
    int GetDefaultTopic() const;

    int32_t Html = 0;
    uint32_t Cookie = 0;       // from the engine's initialize call
    HWND LastViewer = nullptr; // returned by the last topic display
    HWND Owner = nullptr;      // passed to every engine call
    STRINGARRAY Topics{64};    // the topic ids the file contains, as text
    STRING Filename{""};
    STRING Reserved{""};
    STRING DefaultTopic{"-1"};
    HELPMAPPING Mappings[MAPPINGS_MAX];
    int32_t NumMappings = 0;

private:
    // Appends the topic ids of the list file beside the help file.
    void ReadTopicList();

    STRING tempCopy{""}; // the copy of a file on a network drive, removed with this object
};

// The one help file, created on first use; destroyed by the application's shutdown.
HELPFILE& GetHelpFile();
// Destroys the help file if it exists; the next GetHelpFile creates a new one.
void DestroyHelpFile();

// The text the HTML engine receives for a topic: "file::html/topic-TOPIC.html", cut to
// HELPFILE::TOPIC_TEXT_MAX bytes.
STRING HelpTopicText(const char* file, const char* topic);
// A copy of a help file in the folder that the environment variable TEMP names, under a new
// name of its own ("tarvo-<process>-<n>-" + the file's name) that no file or link held before;
// the file's own name when TEMP is unset or empty or the copy fails.
STRING HelpFileTempCopy(const char* file);
// One line of a topic list file as its topic id: the first word after the first "=" (of the
// whole line when there is none).
STRING HelpListLineTopic(const char* line);
