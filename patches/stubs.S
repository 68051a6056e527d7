/*
 * Entry stubs through which the patched game reaches the plug-in (i386).
 * One source for both object formats: PE/COFF symbols carry a leading
 * underscore, ELF symbols do not.
 *
 * vq_ra_save_wrap, entered by the game's CALL in place of the stock
 * replay-save function. The stack, growing down (addresses relative to the
 * game's ESP after its CALL, G):
 *
 *   G+0         game's return address
 *   G-4         EFLAGS                          pushfl
 *   G-8..G-36   EAX ECX EDX EBX ESP EBP ESI EDI pushal (36 bytes saved)
 *   G-40        our return address              call *vq_ra_save_stock
 *               ... stock function's frame ...  (it finds the game's registers
 *                                                and flags, not its stack)
 *   -- stock returns; EAX -> vq_ra_result; EBX <- ESP (G-36)
 *   A = (G-36-528) & ~15                        FXSAVE image, 512 bytes at A
 *   A-4         return address into the stub    call vq_ra_after, ESP = A
 *               ... handler's frame ...         (x87 reset, DF clear)
 *   -- handler returns: fxrstor (A); ESP <- EBX; popal; popfl; EAX <- result
 *   G+0         ret to the game
 *
 * vq_ra_start_wrap does the same around vq_ra_mark_start, without a stock
 * call first, and ends with a JMP to the stock race-setup function once ESP
 * is back at G, so the setup function sees the game's call exactly.
 *
 * vq_ra_circ_hook replaces the career accessor (entered by JMP, so G+0 is
 * the game's return address). EAX points at the record; only EAX, ECX and
 * EDX change, no flags, no stack.
 */

#if defined(_WIN32)
#define SYM(x) _##x
#define FUNC(x) .globl SYM(x); .def SYM(x); .scl 2; .type 32; .endef; SYM(x):
#else
#define SYM(x) x
#define FUNC(x) .globl SYM(x); .type SYM(x), @function; SYM(x):
#endif

/* The FXSAVE image takes 512 bytes at the first 16-byte boundary at or below
   ESP - 528; the 16 spare bytes keep it clear of the saved registers, however
   the game's stack happens to be aligned. */
#define FXSAVE_RESERVE 528

	.text

/* Saves the x87/MMX/SSE state below the saved registers, gives the handler
   the x87 initial state and a clear direction flag, calls it, and restores. */
.macro CALL_HANDLER handler
	movl	%esp, %ebx		/* remember ESP (the handler keeps EBX) */
	subl	$FXSAVE_RESERVE, %esp
	andl	$-16, %esp
	fxsave	(%esp)
	fninit				/* masked exceptions, 64-bit precision, nearest */
	cld
	call	SYM(\handler)		/* ESP at the image: 16-byte aligned */
	fxrstor	(%esp)
	movl	%ebx, %esp
.endm

	.p2align 4
FUNC(vq_ra_save_wrap)
	pushfl				/* save context */
	pushal
	call	*SYM(vq_ra_save_stock)	/* game's registers and flags, our stack */
	movl	%eax, SYM(vq_ra_result)
	CALL_HANDLER vq_ra_after
	popal				/* restore context */
	popfl
	movl	SYM(vq_ra_result), %eax
	ret

	.p2align 4
FUNC(vq_ra_start_wrap)
	pushfl				/* save context */
	pushal
	CALL_HANDLER vq_ra_mark_start
	popal				/* restore context */
	popfl
	jmp	*SYM(vq_ra_setup_stock)	/* the stock setup returns to the game */

	.p2align 4
FUNC(vq_ra_circ_hook)
	movl	4(%eax), %ecx		/* circuit type */
	movl	%ecx, SYM(vq_ra_circ_type)
	movl	(%eax), %edx		/* circuit id */
	movl	%edx, SYM(vq_ra_circ_id)
	movl	%ecx, %eax		/* what the accessor returns */
	ret

	.data
	.p2align 2
	.globl	SYM(vq_ra_result)
#if !defined(_WIN32)
	.type	SYM(vq_ra_result), @object
	.size	SYM(vq_ra_result), 4
#endif
SYM(vq_ra_result):			/* the stock save function's result */
	.long	0

#if !defined(_WIN32)
	.section .note.GNU-stack,"",@progbits
#endif
