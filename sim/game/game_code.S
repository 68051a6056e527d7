/*
 * The game's code for the fake image (i386; ELF for the Linux simulator and
 * tests, PE/COFF for the Windows simulator), and the trampoline that calls
 * it. PE/COFF symbols carry a leading underscore, ELF symbols do not.
 *
 * Game code is assembled here as data and copied to its game address by
 * sim_game_install_code (the table sim_game_blobs says where). Every blob is
 * position independent: data is addressed absolutely inside the image, and
 * a call from one game function to another is written as raw E8 bytes whose
 * rel32 counts from the game address behind the instruction, exactly as the
 * game's own bytes do.
 */
#include "game_code.h"

#if defined(_WIN32)
#define SYM(x) _##x
#define FUNC(x) .globl SYM(x); .def SYM(x); .scl 2; .type 32; .endef; SYM(x):
#define FUNC_END(x)
#else
#define SYM(x) x
#define FUNC(x) .globl SYM(x); .type SYM(x), @function; SYM(x):
#define FUNC_END(x) .size SYM(x), . - SYM(x)
#endif

/* E8 rel32 from the game address site to the game address dest. */
.macro GAME_CALL site, dest
	.byte	0xE8
	.long	(\dest) - ((\site) + 5)
.endm

	.section .rodata
	.p2align 4

/*
 * Stock replay-save function, 0x513070. Takes its inputs in registers, saves
 * every general register but EAX, works with all of them and DF set, calls
 * the save callback with the stack aligned and DF clear, and returns
 * save_result in EAX. In dirty mode it returns with ECX, EDX, EBX, ESI, EDI
 * and EBP changed and SF and DF set, which a well-behaved caller must not
 * rely on either way.
 */
save_start:
	pushl	%ebx			/* 53 51 52 56 57 55: the entry sequence */
	pushl	%ecx			/* the game build is identified by */
	pushl	%edx
	pushl	%esi
	pushl	%edi
	pushl	%ebp
	movl	%esp, %ebp		/* 89 e5 */
	subl	$0x108, %esp		/* 81 ec 08 01 00 00 */
	/* What the caller passed: EAX as is, the rest from the pushes. */
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_EAX
	movl	20(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_EBX
	movl	16(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_ECX
	movl	12(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_EDX
	movl	8(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_ESI
	movl	4(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_EDI
	movl	(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_EBP
	pushfl				/* DF is the caller's, SUB set the rest */
	popl	SIM_GAME_SAVE_SEEN + SIM_SEEN_EFLAGS
	leal	24(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_ESP
	movl	24(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_RET
	movl	28(%ebp), %eax
	movl	%eax, SIM_GAME_SAVE_SEEN + SIM_SEEN_ARG
	incl	SIM_GAME_SAVE_CALLS
	/* Use the whole frame and every register. */
	cld
	leal	-0x108(%ebp), %edi
	movl	$0x108 / 4, %ecx
	movl	$0xEEEEEEEE, %eax
	rep stosl
	std
	movl	$0x5A5A5A01, %ebx
	movl	$0x5A5A5A02, %ecx
	movl	$0x5A5A5A03, %edx
	movl	$0x5A5A5A04, %esi
	movl	$0x5A5A5A05, %edi
	/* The callback writes the replay file, as the real save does. */
	movl	SIM_GAME_SAVE_CALLBACK, %eax
	testl	%eax, %eax
	jz	1f
	andl	$-16, %esp
	cld
	call	*%eax
1:	movl	%ebp, %esp
	popl	%ebp
	popl	%edi
	popl	%esi
	popl	%edx
	popl	%ecx
	popl	%ebx
	cmpl	$0, SIM_GAME_SAVE_DIRTY
	jne	2f
	cld
	movl	SIM_GAME_SAVE_RESULT, %eax
	ret
2:	movl	$SIM_GAME_DIRTY_VALUE + 1, %ecx
	movl	$SIM_GAME_DIRTY_VALUE + 2, %edx
	movl	$SIM_GAME_DIRTY_VALUE + 3, %ebx
	movl	$SIM_GAME_DIRTY_VALUE + 4, %esi
	movl	$SIM_GAME_DIRTY_VALUE + 5, %edi
	movl	$SIM_GAME_DIRTY_VALUE + 6, %ebp
	orl	$-1, %eax		/* SF set; ZF, CF, OF clear */
	std
	movl	SIM_GAME_SAVE_RESULT, %eax
	ret
save_end:

/*
 * Stock race-setup function, 0x4C6250: cdecl with one stack argument,
 * returns it plus SIM_GAME_SETUP_RESULT_OFFSET. Keeps every register but
 * EAX; the ADD sets the status flags.
 */
setup_start:
	pushfl
	popl	SIM_GAME_SETUP_SEEN + SIM_SEEN_EFLAGS
	movl	%eax, SIM_GAME_SETUP_SEEN + SIM_SEEN_EAX
	movl	%ecx, SIM_GAME_SETUP_SEEN + SIM_SEEN_ECX
	movl	%edx, SIM_GAME_SETUP_SEEN + SIM_SEEN_EDX
	movl	%ebx, SIM_GAME_SETUP_SEEN + SIM_SEEN_EBX
	movl	%esi, SIM_GAME_SETUP_SEEN + SIM_SEEN_ESI
	movl	%edi, SIM_GAME_SETUP_SEEN + SIM_SEEN_EDI
	movl	%ebp, SIM_GAME_SETUP_SEEN + SIM_SEEN_EBP
	movl	%esp, SIM_GAME_SETUP_SEEN + SIM_SEEN_ESP
	movl	(%esp), %eax
	movl	%eax, SIM_GAME_SETUP_SEEN + SIM_SEEN_RET
	movl	4(%esp), %eax
	movl	%eax, SIM_GAME_SETUP_SEEN + SIM_SEEN_ARG
	incl	SIM_GAME_SETUP_CALLS
	addl	$SIM_GAME_SETUP_RESULT_OFFSET, %eax
	ret
setup_end:

/*
 * Career accessor, 0x453090: EAX points at a career record; returns the
 * word at offset 4. Its entry sequence is what the patch overwrites.
 */
career_start:
	pushl	%ebp			/* 55 */
	movl	%esp, %ebp		/* 89 e5 */
	subl	$8, %esp		/* 83 ec 08 */
	incl	SIM_GAME_CAREER_CALLS
	movl	4(%eax), %eax
	leave
	ret
career_end:

/* The two save sites: whole functions, registers in, EAX out. */
finish_start:
	GAME_CALL SIM_GAME_FINISH_SITE, SIM_GAME_SAVE_REPLAY	/* E8 AF FC FF FF */
	ret
finish_end:

pause_start:
	GAME_CALL SIM_GAME_PAUSE_SITE, SIM_GAME_SAVE_REPLAY	/* E8 19 D8 07 00 */
	ret
pause_end:

/* The race start hands its stack argument on to the setup function. */
start_start:
	pushl	4(%esp)			/* ff 74 24 04 */
start_site:
	GAME_CALL SIM_GAME_RACE_START_SITE, SIM_GAME_RACE_SETUP	/* E8 22 EA FC FF */
	addl	$4, %esp
	ret
start_end:

.if (start_site - start_start) != (SIM_GAME_RACE_START_SITE - SIM_GAME_RACE_START_FN)
	.error "race start site is not at its game address"
.endif

/* Where each blob goes: game address, first byte, end. */
	.p2align 2
	.globl	SYM(sim_game_blobs)
SYM(sim_game_blobs):
	.long	SIM_GAME_SAVE_REPLAY, save_start, save_end
	.long	SIM_GAME_RACE_SETUP, setup_start, setup_end
	.long	SIM_GAME_CAREER_ACCESSOR, career_start, career_end
	.long	SIM_GAME_FINISH_FN, finish_start, finish_end
	.long	SIM_GAME_PAUSE_FN, pause_start, pause_end
	.long	SIM_GAME_RACE_START_FN, start_start, start_end
	.globl	SYM(sim_game_blob_count)
SYM(sim_game_blob_count):
	.long	6

/*
 * void sim_game_call_raw(sim_call *call)
 *
 * Host frame (at sim_host_esp while game code runs; calls may nest, each
 * keeps the previous sim_host_esp in its frame):
 *   HF_CALL   the sim_call
 *   HF_CW     caller's x87 control word
 *   HF_MXCSR  caller's MXCSR
 *   HF_CHAIN  previous sim_host_esp
 *   HF_ESP    ESP at the game CALL
 *   then EDI ESI EBX EBP of the caller, its return address, the argument.
 * Game stack: 256 bytes below the host frame, aligned to 16, lowered by
 * esp_misalign; the arguments at ESP, the canary below the return slot.
 */
#define HF_CALL 0
#define HF_CW 4
#define HF_MXCSR 8
#define HF_CHAIN 12
#define HF_ESP 16
#define HF_SIZE 20
#define GAME_STACK_GAP 256
#define CANARY_BYTES (SIM_CALL_STACK_BELOW_WORDS * 4)

	.text
	.p2align 4
FUNC(sim_game_call_raw)
	pushl	%ebp
	pushl	%ebx
	pushl	%esi
	pushl	%edi
	movl	20(%esp), %ebx
	subl	$HF_SIZE, %esp
	movl	%ebx, HF_CALL(%esp)
	fnstcw	HF_CW(%esp)
	stmxcsr	HF_MXCSR(%esp)
	movl	sim_host_esp, %eax
	movl	%eax, HF_CHAIN(%esp)
	movl	%esp, sim_host_esp

	/* The game's stack pointer at the CALL. */
	leal	-GAME_STACK_GAP(%esp), %edi
	andl	$-16, %edi
	subl	SIM_CALL_MISALIGN(%ebx), %edi
	movl	%edi, HF_ESP(%esp)
	movl	%edi, SIM_CALL_ESP_AT_CALL(%ebx)
	cld
	leal	SIM_CALL_ARGS(%ebx), %esi
	movl	SIM_CALL_NARGS(%ebx), %ecx
	rep movsl			/* arguments, first at the lowest address */
	movl	HF_ESP(%esp), %edi
	subl	$CANARY_BYTES + 4, %edi
	movl	$SIM_CALL_STACK_BELOW_WORDS, %ecx
	movl	$SIM_STACK_CANARY, %eax
	rep stosl

	/* The game's floating-point state; the value goes in at full precision. */
	fninit
	cmpl	$0, SIM_CALL_IN + SIM_REGS_ST_COUNT(%ebx)
	je	1f
	fldl	SIM_CALL_IN + SIM_REGS_ST0(%ebx)
1:	fldcw	SIM_CALL_IN + SIM_REGS_FPU_CW(%ebx)
	ldmxcsr	SIM_CALL_IN + SIM_REGS_MXCSR(%ebx)
	movups	SIM_CALL_IN + SIM_REGS_XMM0(%ebx), %xmm0
	movl	SIM_CALL_ADDRESS(%ebx), %eax
	movl	%eax, sim_call_target

	/* The game's registers: flags first, since MOV leaves them alone. */
	movl	HF_ESP(%esp), %esp
	movl	%ebx, %eax
	pushl	SIM_CALL_IN + SIM_REGS_EFLAGS(%eax)	/* into the return slot */
	popfl
	movl	SIM_CALL_IN + SIM_REGS_ECX(%eax), %ecx
	movl	SIM_CALL_IN + SIM_REGS_EDX(%eax), %edx
	movl	SIM_CALL_IN + SIM_REGS_EBX(%eax), %ebx
	movl	SIM_CALL_IN + SIM_REGS_ESI(%eax), %esi
	movl	SIM_CALL_IN + SIM_REGS_EDI(%eax), %edi
	movl	SIM_CALL_IN + SIM_REGS_EBP(%eax), %ebp
	movl	SIM_CALL_IN + SIM_REGS_EAX(%eax), %eax
	call	*sim_call_target

	/* Capture before anything changes: only the return slot is written. */
	movl	%eax, sim_out + SIM_REGS_EAX
	movl	%ecx, sim_out + SIM_REGS_ECX
	movl	%edx, sim_out + SIM_REGS_EDX
	movl	%ebx, sim_out + SIM_REGS_EBX
	movl	%esi, sim_out + SIM_REGS_ESI
	movl	%edi, sim_out + SIM_REGS_EDI
	movl	%ebp, sim_out + SIM_REGS_EBP
	movl	%esp, sim_esp_after
	pushfl
	popl	sim_out + SIM_REGS_EFLAGS
	movups	%xmm0, sim_out + SIM_REGS_XMM0
	stmxcsr	sim_out + SIM_REGS_MXCSR
	fnstenv	sim_fpu_env		/* also masks x87 exceptions */
	fstpl	sim_out + SIM_REGS_ST0	/* garbage when the stack is empty */
	cld
	movl	sim_host_esp, %esp

	/* Hand it all to the caller's sim_call. */
	movl	HF_CALL(%esp), %ebx
	movzwl	sim_fpu_env, %eax
	movl	%eax, sim_out + SIM_REGS_FPU_CW
	movzwl	sim_fpu_env + 4, %eax
	movl	%eax, sim_out + SIM_REGS_FPU_SW
	movzwl	sim_fpu_env + 8, %eax
	movl	%eax, sim_out + SIM_REGS_FPU_TW
	movl	$sim_out, %esi
	leal	SIM_CALL_OUT(%ebx), %edi
	movl	$SIM_REGS_SIZE / 4, %ecx
	rep movsl
	movl	sim_esp_after, %eax
	movl	%eax, SIM_CALL_ESP_AFTER(%ebx)
	movl	HF_ESP(%esp), %esi
	subl	$CANARY_BYTES + 4, %esi
	leal	SIM_CALL_STACK_BELOW(%ebx), %edi
	movl	$SIM_CALL_STACK_BELOW_WORDS, %ecx
	rep movsl

	/* The caller's floating-point state and the previous host frame. */
	fninit
	fldcw	HF_CW(%esp)
	ldmxcsr	HF_MXCSR(%esp)
	movl	HF_CHAIN(%esp), %eax
	movl	%eax, sim_host_esp
	addl	$HF_SIZE, %esp
	popl	%edi
	popl	%esi
	popl	%ebx
	popl	%ebp
	ret
	FUNC_END(sim_game_call_raw)

	.bss
	.p2align 4
sim_out:				/* struct sim_regs, filled after each call */
	.skip	SIM_REGS_SIZE
sim_fpu_env:				/* FNSTENV image, 28 bytes */
	.skip	28
	.p2align 2
sim_esp_after:
	.skip	4
sim_call_target:			/* read only by the CALL itself */
	.skip	4
sim_host_esp:				/* innermost host frame, 0 outside calls */
	.skip	4

#if !defined(_WIN32)
	.section .note.GNU-stack,"",@progbits
#endif
