// The entry stubs, proved by running the game's own code after VQ_Apply has
// patched it. The handlers are observed through the linker's --wrap (see
// stubs_test.link.cmake): each call of vq_ra_after or vq_ra_mark_start from
// the stubs lands in a recorder below, which may pass on to the real one.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "game_code.h"
#include "game_image.h"
#include "host/host.h"
#include "patches/hooks.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"
#include "test_host.h"

// What a handler found on entry.
struct handler_seen {
    uint32_t calls;   // entries so far
    uint32_t esp;     // ESP at entry (pointing at the return address)
    uint32_t eflags;  // EFLAGS at entry
    uint32_t mxcsr;   // MXCSR at entry
    uint32_t env[7];  // FNSTENV image: control, status and tag word in the low halves of 0..2
};
static_assert(offsetof(handler_seen, esp) == 4 && offsetof(handler_seen, env) == 16,
              "offsets used by the recorders below");

extern "C" {
handler_seen after_seen;   // __wrap_vq_ra_after
handler_seen start_seen;   // __wrap_vq_ra_mark_start
uint32_t after_call_real;  // non-zero: the recorder calls the real vq_ra_after
uint32_t handler_clobber;  // non-zero: both recorders return with EAX, ECX, EDX,
                           // the flags, DF, x87, MXCSR and XMM0 changed
}

// The recorders: note the state at entry before touching anything, call the
// real handler (with the stack as aligned as we were given it), then
// optionally leave everything a cdecl function may change in a mess.
asm(R"(
	.macro RECORD seen
	movl	%esp, \seen + 4
	pushfl
	popl	\seen + 8
	stmxcsr	\seen + 12
	fnstenv	\seen + 16
	fldenv	\seen + 16
	incl	\seen
	.endm

	.macro CLOBBER
	cmpl	$0, handler_clobber
	je	1f
	fldcw	clobber_cw
	fld1
	fldpi
	fldz
	ldmxcsr	clobber_mxcsr
	xorps	%xmm0, %xmm0
	movl	$0xC10B0001, %eax
	movl	$0xC10B0002, %ecx
	movl	$0xC10B0003, %edx
	std
1:
	.endm

	.text
	.globl	__wrap_vq_ra_after
	.type	__wrap_vq_ra_after, @function
__wrap_vq_ra_after:
	RECORD	after_seen
	cmpl	$0, after_call_real
	je	2f
	subl	$12, %esp
	call	__real_vq_ra_after
	addl	$12, %esp
2:	CLOBBER
	ret

	.globl	__wrap_vq_ra_mark_start
	.type	__wrap_vq_ra_mark_start, @function
__wrap_vq_ra_mark_start:
	RECORD	start_seen
	subl	$12, %esp
	call	__real_vq_ra_mark_start
	addl	$12, %esp
	CLOBBER
	ret

	.section .rodata
	.p2align 2
clobber_mxcsr:
	.long	0x3F80			/* round down */
clobber_cw:
	.short	0x007F			/* single precision, nearest */
	.text
)");

namespace {

// The game's own floating-point settings: single precision and rounding
// toward zero, for x87 and SSE alike; all exceptions masked.
const uint32_t kGameFpuCw = 0x0C7F;
const uint32_t kGameMxcsr = 0x7F80;
const double kGameSt0 = 1.5;  // exact in every precision
// Flags the game passes: CF PF ZF DF OF, or AF SF with DF clear.
const uint32_t kFlagsWithDf = 0x0C47;
const uint32_t kFlagsWithoutDf = 0x0092;
// The stub keeps EFLAGS and eight registers below the game's return address.
const uint32_t kSavedContext = 36;
const uint32_t kFxsaveImage = 512;
const uint32_t kFxsaveReserve = 528;

sim_regs game_state(uint32_t eflags) {
    sim_regs r = sim_game_regs();
    r.eax = 0x0A0A0A0A;
    r.ecx = 0x1C1C1C1C;
    r.edx = 0x2D2D2D2D;
    r.ebx = 0x3B3B3B3B;
    r.esi = 0x45454545;
    r.edi = 0x5D5D5D5D;
    r.ebp = 0x6B6B6B6B;
    r.eflags = eflags;
    r.fpu_cw = kGameFpuCw;
    r.mxcsr = kGameMxcsr;
    r.xmm0[0] = 0x01234567;
    r.xmm0[1] = 0x89ABCDEF;
    r.xmm0[2] = 0xFEDCBA98;
    r.xmm0[3] = 0x76543210;
    r.st0 = kGameSt0;
    r.st_count = 1;
    return r;
}

sim_call game_call(uint32_t address, uint32_t eflags, uint32_t misalign) {
    sim_call call;
    memset(&call, 0, sizeof call);
    call.address = address;
    call.esp_misalign = misalign;
    call.in = game_state(eflags);
    return call;
}

uint32_t fpu_cw(const handler_seen &s) { return s.env[0] & 0xFFFF; }
uint32_t fpu_sw(const handler_seen &s) { return s.env[1] & 0xFFFF; }
uint32_t fpu_tw(const handler_seen &s) { return s.env[2] & 0xFFFF; }

// The game's x87 and SSE state is the one it had before the call.
void expect_game_fp_kept(const sim_call &c) {
    EXPECT_EQ(c.out.fpu_cw, kGameFpuCw);
    EXPECT_EQ(c.out.mxcsr, kGameMxcsr);
    EXPECT_EQ(0, memcmp(c.out.xmm0, c.in.xmm0, sizeof c.in.xmm0));
    EXPECT_EQ(c.out.st_count, 1u);
    EXPECT_EQ(c.out.st0, kGameSt0);
}

// EBX, ESI, EDI, EBP, the given flags and ESP are as the game passed them;
// with all_scratch, ECX and EDX too (every stub but the circuit hook).
void expect_game_registers_kept(const sim_call &c, uint32_t flags_mask, uint32_t eflags,
                                bool all_scratch) {
    if (all_scratch) {
        EXPECT_EQ(c.out.ecx, c.in.ecx);
        EXPECT_EQ(c.out.edx, c.in.edx);
    }
    EXPECT_EQ(c.out.ebx, c.in.ebx);
    EXPECT_EQ(c.out.esi, c.in.esi);
    EXPECT_EQ(c.out.edi, c.in.edi);
    EXPECT_EQ(c.out.ebp, c.in.ebp);
    EXPECT_EQ(c.out.eflags & flags_mask, eflags & flags_mask);
    EXPECT_EQ(c.esp_after, c.esp_at_call);
}

// A handler starts from the x87 initial state with DF clear, the game's
// MXCSR, and its return address just below a 16-byte boundary.
void expect_clean_handler_entry(const handler_seen &s) {
    EXPECT_EQ((s.esp + 4) % 16, 0u) << "ESP at entry 0x" << std::hex << s.esp;
    EXPECT_EQ(fpu_cw(s), SIM_FPU_CW_INIT);
    EXPECT_EQ(fpu_sw(s), 0u);
    EXPECT_EQ(fpu_tw(s), SIM_FPU_TW_EMPTY);
    EXPECT_EQ(s.eflags & SIM_EFLAGS_DF, 0u);
    EXPECT_EQ(s.mxcsr, kGameMxcsr);
}

class PatchedGame : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        sim_game_map();
        sim_game_install_code();
        memset(&after_seen, 0, sizeof after_seen);
        memset(&start_seen, 0, sizeof start_seen);
        after_call_real = 0;
        handler_clobber = 0;
        sim_host_reset();
        vq_host host = sim_host_record();
        ASSERT_EQ(VQ_Apply(&host), 1);
        sim_host_reset();
    }
};
using SaveStub = PatchedGame;
using StartStub = PatchedGame;
using CircHook = PatchedGame;
using PatchTable = PatchedGame;

}  // namespace

// The unpatched game: the sites hold the bytes the patch table expects, and
// the stock save, called directly, does hand back changed registers and DF in
// its dirty mode, so the stub tests below are not vacuous.
TEST(GameCode, SitesHoldOriginalBytesAndDirtyStockLeaksWhenCalledDirectly) {
    ra_test_reset_plugin();
    sim_game_map();
    sim_game_install_code();
    EXPECT_EQ(vqsdk_hex_match(sim_game_ptr(SIM_GAME_FINISH_SITE), 5, "e8 af fc ff ff"), 1);
    EXPECT_EQ(vqsdk_hex_match(sim_game_ptr(SIM_GAME_PAUSE_SITE), 5, "e8 19 d8 07 00"), 1);
    EXPECT_EQ(vqsdk_hex_match(sim_game_ptr(SIM_GAME_RACE_START_SITE), 5, "e8 22 ea fc ff"), 1);
    EXPECT_EQ(vqsdk_hex_match(sim_game_ptr(SIM_GAME_CAREER_ACCESSOR), 5, "55 89 e5 83 ec"), 1);
    EXPECT_EQ(vqsdk_hex_match(sim_game_ptr(VQ_GAME_BASE + vq_manifest_data.check_rva), 14,
                              vq_manifest_data.check_pattern),
              1);

    sim_game_code_data()->save_dirty = 1;
    sim_call c = game_call(SIM_GAME_FINISH_FN, kFlagsWithoutDf, 0);
    sim_game_call(&c);
    EXPECT_EQ(c.out.eax, SIM_GAME_SAVE_RESULT_DEFAULT);
    EXPECT_EQ(c.out.ecx, SIM_GAME_DIRTY_VALUE + 1);
    EXPECT_EQ(c.out.ebp, SIM_GAME_DIRTY_VALUE + 6);
    EXPECT_NE(c.out.eflags & SIM_EFLAGS_DF, 0u);
    EXPECT_EQ(after_seen.calls, 0u);
}

// Both save sites, the stock save clean and dirty, DF set and clear, every
// stack misalignment, the handler tidy and messy: the game finds the stock
// result in EAX and everything else as it passed it.
TEST_F(SaveStub, GameGetsStockResultAndEverythingElseAsItWas) {
    const uint32_t sites[] = {SIM_GAME_FINISH_FN, SIM_GAME_PAUSE_FN};
    const uint32_t flags[] = {kFlagsWithDf, kFlagsWithoutDf};
    uint32_t n = 0;
    for (uint32_t site : sites) {
        for (uint32_t dirty = 0; dirty < 2; dirty++) {
            for (uint32_t eflags : flags) {
                for (uint32_t misalign = 0; misalign < 16; misalign++) {
                    SCOPED_TRACE(::testing::Message()
                                 << std::hex << "site 0x" << site << " dirty " << dirty
                                 << " eflags 0x" << eflags << std::dec << " misalign " << misalign);
                    sim_game_data *data = sim_game_code_data();
                    data->save_dirty = dirty;
                    data->save_result = 0x5AFE0100 + n;
                    handler_clobber = misalign & 1;
                    uint32_t saves = data->save_calls;
                    uint32_t handled = after_seen.calls;
                    sim_call c = game_call(site, eflags, misalign);
                    sim_game_call(&c);

                    // The stock function ran once, on the game's registers and DF.
                    EXPECT_EQ(data->save_calls, saves + 1);
                    EXPECT_EQ(data->save_seen.eax, c.in.eax);
                    EXPECT_EQ(data->save_seen.ecx, c.in.ecx);
                    EXPECT_EQ(data->save_seen.edx, c.in.edx);
                    EXPECT_EQ(data->save_seen.ebx, c.in.ebx);
                    EXPECT_EQ(data->save_seen.esi, c.in.esi);
                    EXPECT_EQ(data->save_seen.edi, c.in.edi);
                    EXPECT_EQ(data->save_seen.ebp, c.in.ebp);
                    EXPECT_EQ(data->save_seen.eflags & SIM_EFLAGS_DF, eflags & SIM_EFLAGS_DF);
                    // Then the handler, once.
                    EXPECT_EQ(after_seen.calls, handled + 1);

                    // Back in the game.
                    EXPECT_EQ(c.out.eax, 0x5AFE0100 + n);
                    expect_game_registers_kept(c, SIM_EFLAGS_USER, eflags, true);
                    expect_game_fp_kept(c);
                    n++;
                }
            }
        }
    }
}

// Inside the handler, for every alignment of the game's stack: the x87
// initial state, DF clear (also when the stock save returned it set), the
// game's MXCSR, a 16-byte-aligned call, and the FXSAVE image just below the
// saved registers (the reserve, aligned down).
TEST_F(SaveStub, HandlerStartsCleanAndAlignedAtEveryMisalignment) {
    const uint32_t sites[] = {SIM_GAME_FINISH_FN, SIM_GAME_PAUSE_FN};
    for (uint32_t site : sites) {
        for (uint32_t misalign = 0; misalign < 16; misalign++) {
            SCOPED_TRACE(::testing::Message()
                         << std::hex << "site 0x" << site << std::dec << " misalign " << misalign);
            sim_game_code_data()->save_dirty = misalign & 1;
            sim_call c = game_call(site, kFlagsWithDf, misalign);
            sim_game_call(&c);
            expect_clean_handler_entry(after_seen);
            // The game's function was called, then it called the stub.
            uint32_t g = c.esp_at_call - 8;
            uint32_t image = after_seen.esp + 4;
            EXPECT_LE(image + kFxsaveImage, g - kSavedContext);
            EXPECT_GE(image, g - kSavedContext - kFxsaveReserve - 15);
        }
    }
}

// The stock save's callback (where the game writes its replay) runs before
// the handler; the handler runs after it.
static uint32_t handled_at_callback = ~0u;
static void note_handler_calls(void) { handled_at_callback = after_seen.calls; }

TEST_F(SaveStub, StockSaveCompletesBeforeTheHandler) {
    sim_game_set_save_callback(note_handler_calls);
    EXPECT_EQ(sim_game_save_replay(0), SIM_GAME_SAVE_RESULT_DEFAULT);
    EXPECT_EQ(handled_at_callback, 0u);
    EXPECT_EQ(after_seen.calls, 1u);
}

// The real handler returning at once (autosave disabled), and a handler that
// leaves EAX changed: the game gets the stock result either way.
TEST_F(SaveStub, ResultSurvivesHandlerThatReturnsEarly) {
    after_call_real = 1;
    ra_enabled = 0;
    sim_game_code_data()->save_result = 0x13572468;
    EXPECT_EQ(sim_game_save_replay(0), 0x13572468u);
    EXPECT_EQ(sim_game_save_replay(1), 0x13572468u);
    EXPECT_EQ(after_seen.calls, 2u);

    handler_clobber = 1;
    sim_game_code_data()->save_result = 0x24681357;
    EXPECT_EQ(sim_game_save_replay(0), 0x24681357u);
    EXPECT_EQ(sim_game_save_replay(1), 0x24681357u);
}

// Each race start records the clock and hands the game's call on intact: the
// setup function sees the game's registers, flags, return address and stack
// argument, and the game gets the setup's own result.
TEST_F(StartStub, RecordsStartTimeThenSetupFindsGameCallIntact) {
    SYSTEMTIME t = {2031, 7, 2, 16, 21, 5, 9, 123};
    for (uint32_t misalign = 0; misalign < 16; misalign++) {
        SCOPED_TRACE(::testing::Message() << "misalign " << misalign);
        t.wSecond = (WORD)misalign;
        sim_set_clock(&t);
        handler_clobber = misalign & 1;
        uint32_t eflags = (misalign & 2) ? kFlagsWithDf : kFlagsWithoutDf;
        sim_game_data *data = sim_game_code_data();
        uint32_t setups = data->setup_calls;
        sim_call c = game_call(SIM_GAME_RACE_START_FN, eflags, misalign);
        c.nargs = 1;
        c.args[0] = 0x4200 + misalign;
        sim_game_call(&c);

        // The handler ran first, cleanly, and kept the start time.
        EXPECT_EQ(start_seen.calls, misalign + 1);
        expect_clean_handler_entry(start_seen);
        EXPECT_EQ(ra_start_valid, 1u);
        EXPECT_EQ(ra_start_time.year, 2031);
        EXPECT_EQ(ra_start_time.day, 16);
        EXPECT_EQ(ra_start_time.hour, 21);
        EXPECT_EQ(ra_start_time.second, misalign);
        EXPECT_EQ(ra_start_time.milliseconds, 123);

        // The setup function ran once, as if the game had called it.
        EXPECT_EQ(data->setup_calls, setups + 1);
        const sim_game_seen &s = data->setup_seen;
        EXPECT_EQ(s.eax, c.in.eax);
        EXPECT_EQ(s.ecx, c.in.ecx);
        EXPECT_EQ(s.edx, c.in.edx);
        EXPECT_EQ(s.ebx, c.in.ebx);
        EXPECT_EQ(s.esi, c.in.esi);
        EXPECT_EQ(s.edi, c.in.edi);
        EXPECT_EQ(s.ebp, c.in.ebp);
        EXPECT_EQ(s.eflags & SIM_EFLAGS_USER, eflags & SIM_EFLAGS_USER);
        EXPECT_EQ(s.ret, (uint32_t)SIM_GAME_RACE_START_RET);
        EXPECT_EQ(s.arg, 0x4200 + misalign);
        // Our call's return address, the game's pushed argument, its CALL.
        EXPECT_EQ(s.esp, c.esp_at_call - 12);

        // Back in the game with the setup's result, through the setup's RET.
        EXPECT_EQ(c.out.eax, 0x4200 + misalign + SIM_GAME_SETUP_RESULT_OFFSET);
        expect_game_registers_kept(c, SIM_EFLAGS_DF, eflags, true);
        expect_game_fp_kept(c);
    }
}

// The accessor's replacement: returns the word at offset 4, keeps both words,
// and changes nothing but EAX, ECX and EDX: no flags, no stack below the
// return address, no floating-point state. The accessor's own code never runs.
TEST_F(CircHook, ReturnsTypeKeepsBothWordsAndTouchesNothingElse) {
    const uint32_t flags[] = {kFlagsWithDf, kFlagsWithoutDf};
    const uint32_t records[][2] = {{0x17, 4}, {0x2A, 0xFFFFFFFF}};
    for (uint32_t i = 0; i < 2; i++) {
        SCOPED_TRACE(::testing::Message() << "record " << i);
        uint32_t record = sim_game_put_career_record(records[i][0], records[i][1]);
        sim_call c = game_call(SIM_GAME_CAREER_ACCESSOR, flags[i], 4 * i + 3);
        c.in.eax = record;
        sim_game_call(&c);

        EXPECT_EQ(c.out.eax, records[i][1]);
        EXPECT_EQ((uint32_t)vq_ra_circ_type, records[i][1]);
        EXPECT_EQ(vq_ra_circ_id, records[i][0]);
        expect_game_registers_kept(c, SIM_EFLAGS_USER, flags[i], false);
        for (uint32_t w : c.stack_below) EXPECT_EQ(w, SIM_STACK_CANARY);
        expect_game_fp_kept(c);
    }
    EXPECT_EQ(sim_game_code_data()->career_calls, 0u);
}

// The sites now hold our calls, so applying again fails at the first entry,
// says where, and writes nothing.
TEST_F(PatchTable, SecondApplyFailsAtFinishAndWritesNothing) {
    unsigned char before[5];
    memcpy(before, sim_game_ptr(SIM_GAME_FINISH_SITE), sizeof before);
    vq_host host = sim_host_record();
    EXPECT_EQ(VQ_Apply(&host), 0);
    EXPECT_TRUE(sim_host_writes.empty());
    ASSERT_FALSE(sim_host_log_lines.empty());
    EXPECT_EQ(sim_host_log_lines.back(),
              "def replay-autosave.finish: expected mismatch @ RVA 0x1133BC");
    EXPECT_EQ(0, memcmp(before, sim_game_ptr(SIM_GAME_FINISH_SITE), sizeof before));
}
