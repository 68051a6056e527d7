/*
 * The game's memory in a Windows program's own image: an uninitialised,
 * writable and executable section, .game, that the program's linker script
 * (game_space.cmake) places first, right above the headers at SIM_GAME_BASE,
 * so that it reaches SIM_GAME_END and nothing of the program lies below.
 * The loader maps it zero-filled; it takes no room in the file.
 */
#include "game_image.h"

	.section .game,"bwx"
	.p2align 12
	.globl	_sim_game_space
_sim_game_space:
	.skip	SIM_GAME_SIZE - SIM_GAME_PE_HEADERS
	.globl	_sim_game_space_end
_sim_game_space_end:
