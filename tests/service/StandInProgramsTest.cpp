// The stand-in worker and ad viewer: one line of command line per start, and the exit code
// they are told.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

namespace qrnv::test {
namespace {

struct StandIn {
    const char* program;
    const char* recordVariable;
    const char* exitCodeVariable;
};

const StandIn kStandIns[] = {
    {QRNV_WORKER_PROGRAM, "QRNV_WORKER_RECORD", "QRNV_WORKER_EXIT_CODE"},
    {QRNV_ADVIEWER_PROGRAM, "QRNV_ADVIEWER_RECORD", "QRNV_ADVIEWER_EXIT_CODE"},
};

TEST(StandInPrograms, RecordTheWholeCommandLineQuotedByTheWindowsRules)
{
    for (const StandIn& s : kStandIns) {
        SCOPED_TRACE(s.program);
        ScopedFolder dir;
        const std::string record = dir / "record.txt";
        const std::string program = s.program;
        ASSERT_EQ(program.find(' '), std::string::npos) << "the expected line below assumes a path without blanks";

        const std::vector<std::string> first = {program, "-MachineGuid", "{ab cd}", "-AdCampaignId", "42",
                                                "-Language", "1031"};
        const std::vector<std::string> second = {program, "-Folder", "C:\\Program Files\\Acme\\", "say\"hi", ""};
        const Environment env = {{s.recordVariable, record}};
        ASSERT_EQ(RunProgram(first, env, dir / "out.txt"), 0);
        ASSERT_EQ(RunProgram(second, env, dir / "out.txt"), 0);

        EXPECT_EQ(ReadFileBytes(record), program + " -MachineGuid \"{ab cd}\" -AdCampaignId 42 -Language 1031\n"
                                        + program + " -Folder \"C:\\Program Files\\Acme\\\\\" \"say\\\"hi\" \"\"\n");
    }
}

TEST(StandInPrograms, ExitWithTheCodeTheyAreTold)
{
    struct Case {
        const char* setting; // nullptr: not set
        int exitStatus;
    };
    const Case cases[] = {
        {nullptr, 0},
        {"7", 7},
        {"-1", 255}, // the Windows -1, in 8 bits
        {"abc", 125},
        {"99999999999", 125},
    };
    for (const StandIn& s : kStandIns) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(s.program) + " " + (c.setting ? c.setting : "(unset)"));
            ScopedFolder dir;
            Environment env = {{s.recordVariable, dir / "record.txt"}};
            if (c.setting) {
                env.emplace_back(s.exitCodeVariable, c.setting);
            }
            EXPECT_EQ(RunProgram({s.program, "-Tray"}, env, dir / "out.txt"), c.exitStatus);
            EXPECT_EQ(ReadFileBytes(dir / "record.txt"), std::string(s.program) + " -Tray\n");
        }
    }
}

TEST(StandInPrograms, ARecordThatCannotBeWrittenIsAFailureExit)
{
    for (const StandIn& s : kStandIns) {
        SCOPED_TRACE(s.program);
        ScopedFolder dir;
        // The folder itself is not a file to append to.
        const Environment env = {{s.recordVariable, dir.Utf8()}, {s.exitCodeVariable, "3"}};
        EXPECT_EQ(RunProgram({s.program}, env, dir / "out.txt"), 124);
        EXPECT_NE(ReadFileBytes(dir / "out.txt").find("cannot append"), std::string::npos);
    }
}

} // namespace
} // namespace qrnv::test
