// PlayAlarmSound with the player replaced by a script that records what it
// was asked to play.
#include "alarm/alarm_actions.h"
#include "support/temp_home.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

namespace
{
std::string Le32(uint32_t v)
{
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                       char((v >> 24) & 0xFF)};
}

std::string Le16(uint16_t v)
{
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)};
}

// A small, valid 8 kHz mono PCM file; extra chunks may come before "data".
std::string WavBytes(const std::string& extraChunk = "")
{
    const std::string samples(800, '\x10');
    const std::string fmt = "fmt " + Le32(16) + Le16(1) + Le16(1) + Le32(8000) + Le32(16000) +
                            Le16(2) + Le16(16);
    const std::string body = "WAVE" + fmt + extraChunk + "data" + Le32(samples.size()) + samples;
    return "RIFF" + Le32(body.size()) + body;
}

wxString SourceDir()
{
    wxString dir;
    if (wxGetEnv("CORVANE_SOURCE_DIR", &dir) && !dir.empty())
        return dir;
    return CORVANE_TEST_SOURCE_DIR;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class AlarmSound : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_record = m_home.File("played.txt");
        m_player = m_home.File("player.sh");
        WriteFileBytes(m_player, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                                     std::string(m_record.utf8_str()) + "'\n");
        ::chmod(m_player.utf8_str(), 0755);
        m_hadPlayer = wxGetEnv("CORVANE_SOUND_PLAYER", &m_previousPlayer);
        wxSetEnv("CORVANE_SOUND_PLAYER", m_player);
        m_good = m_home.File("good.wav");
        WriteFileBytes(m_good, WavBytes());
    }

    void TearDown() override
    {
        if (m_hadPlayer)
            wxSetEnv("CORVANE_SOUND_PLAYER", m_previousPlayer);
        else
            wxUnsetEnv("CORVANE_SOUND_PLAYER");
    }

    // The arguments of every playing so far, once `count` lines are there.
    std::vector<std::string> Played(size_t count)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::vector<std::string> lines;
        while ((lines = Lines(ReadFileBytes(m_record))).size() < count &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return lines;
    }

    TempHome m_home;
    wxString m_record;
    wxString m_player;
    wxString m_good;
    wxString m_previousPlayer;
    bool m_hadPlayer = false;
};
} // namespace

TEST_F(AlarmSound, EmptySoundFilePlaysTheDefaultFromTheProgramDirectory)
{
    wxFileName::Mkdir(m_home.File("resources"));
    WriteFileBytes(m_home.File("resources/Alert.wav"), WavBytes());
    EXPECT_TRUE(PlayAlarmSound(wxString()));
    EXPECT_EQ(Played(1), std::vector<std::string>{std::string(m_home.File("resources/Alert.wav").utf8_str())});
}

TEST_F(AlarmSound, PathWithSpacesIsOneArgument)
{
    wxFileName::Mkdir(m_home.File("my sounds"));
    const wxString path = m_home.File("my sounds/red alert.wav");
    WriteFileBytes(path, WavBytes("LIST" + Le32(4) + "INFO"));
    EXPECT_TRUE(PlayAlarmSound(path));
    EXPECT_EQ(Played(1), std::vector<std::string>{std::string(path.utf8_str())});
}

TEST_F(AlarmSound, ShippedAlertIsASmallWav)
{
    const wxString shipped = SourceDir() + "/src/resources/Alert.wav";
    const std::string bytes = ReadFileBytes(shipped);
    ASSERT_FALSE(bytes.empty()) << shipped;
    EXPECT_LT(bytes.size(), 100u * 1024);
    EXPECT_TRUE(PlayAlarmSound(shipped));
    EXPECT_EQ(Played(1).size(), 1u);
}

TEST_F(AlarmSound, PlaysFromAScanThread)
{
    bool result = false;
    std::thread scan([&] { result = PlayAlarmSound(m_good); });
    scan.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(Played(1), std::vector<std::string>{std::string(m_good.utf8_str())});
}

struct BadSound
{
    const char* name;
    std::function<std::string()> bytes; // null: the file does not exist
};

class AlarmSoundRefused : public AlarmSound, public ::testing::WithParamInterface<BadSound>
{
};

// Nothing is played and nothing said; a good file played afterwards is the
// only thing the player ever saw.
TEST_P(AlarmSoundRefused, PlaysNothing)
{
    const wxString bad = m_home.File("bad.wav");
    if (GetParam().bytes)
        WriteFileBytes(bad, GetParam().bytes());
    EXPECT_TRUE(PlayAlarmSound(bad));
    EXPECT_TRUE(PlayAlarmSound(m_good));
    EXPECT_EQ(Played(1), std::vector<std::string>{std::string(m_good.utf8_str())});
}

INSTANTIATE_TEST_SUITE_P(
    Files, AlarmSoundRefused,
    ::testing::Values(
        BadSound{"Missing", nullptr},
        BadSound{"Text", [] { return std::string("this is not a sound\n"); }},
        // a chunk length running past the end of the file
        BadSound{"ChunkPastTheEnd", [] { return "RIFF" + Le32(100) + "WAVE" + "fmt " + Le32(1000); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Regression: a sound file whose name begins with "-" was taken for an
// option by the player. The desktop's players get it after "--".
TEST_F(AlarmSound, PlayerTakesTheFileAfterTheEndOfOptions)
{
    wxUnsetEnv("CORVANE_SOUND_PLAYER");
    const wxString bin = m_home.File("bin");
    wxFileName::Mkdir(bin);
    const wxString paplay = bin + "/paplay";
    WriteFileBytes(paplay, ReadFileBytes(m_player));
    ::chmod(paplay.utf8_str(), 0755);
    wxString path;
    wxGetEnv("PATH", &path);
    wxSetEnv("PATH", bin + ":" + path);
    const wxString cwd = wxGetCwd();
    wxSetWorkingDirectory(m_home.Dir());
    WriteFileBytes(m_home.File("-rf.wav"), WavBytes());
    EXPECT_TRUE(PlayAlarmSound("-rf.wav"));
    wxSetWorkingDirectory(cwd);
    wxSetEnv("PATH", path);
    EXPECT_EQ(Played(2), (std::vector<std::string>{"--", "./-rf.wav"}));
}

TEST_F(AlarmSound, MissingDefaultPlaysNothing)
{
    EXPECT_TRUE(PlayAlarmSound(wxString())); // no resources/ in this program directory
    EXPECT_TRUE(PlayAlarmSound(m_good));
    EXPECT_EQ(Played(1), std::vector<std::string>{std::string(m_good.utf8_str())});
}
