" Vim syntax file
" Language: Fusewick team file (*.fpl)
"
" Follows what the game accepts. Only a line whose first character is '#' is a comment. The first lines name the
" player types ("P1 CAPTAIN"), the others are commands ("P1.MOVE 3"); keywords are capitalised or upper case, the
" player number is 1 to 4 (written as the game reads it: decimal, octal with a leading 0, hexadecimal with 0x), and
" text after a command or its count is ignored by the game. Every other non-empty line is refused by the game and
" marked as an error, as are unknown command words and a count after a command that takes none.

if exists("b:current_syntax")
  finish
endif
let s:cpo_save = &cpo
set cpo&vim

syn case match

" Defined first, so that every item below wins where it matches: a line the game refuses.
syn match fusewickInvalidLine "^.\+$"

syn match fusewickComment "^#.*$" contains=@Spell

" Text the game skips over: after a type, after a command without count, or after a count.
syn match fusewickIgnored contained "\S.*$"

" A player number as the game reads it, 1 to 4: decimal, octal (leading 0) or hexadecimal (0x), after optional
" blanks and a plus sign.
let s:player = 'P\s*+\=\%(0[xX]0*[1-4]\x\@!\|0*[1-4]\d\@!\)'
let s:types = '\%(Captain\|CAPTAIN\|Ghost\|GHOST\|Stretcher\|STRETCHER\|Safety\|SAFETY\|Sprinter\|SPRINTER'
      \ . '\|Hoarder\|HOARDER\|Hulk\|HULK\)\%(\s\|$\)\@='

" Type lines: P<n>, optional blanks, a type keyword ending at a blank or the line end.
execute 'syn match fusewickPlayer "^' . s:player . '\ze\s*' . s:types . '" nextgroup=fusewickType skipwhite'
execute 'syn match fusewickType contained "' . s:types . '" nextgroup=fusewickIgnored skipwhite'

" Program lines: P<n>, a full stop, optional blanks, a command word.
execute 'syn match fusewickPlayer "^' . s:player . '\.\ze\s*\S"'
      \ . ' nextgroup=fusewickUnknownCommand,fusewickCommand skipwhite'

" Any word but a command keyword; the keywords below win where they match.
syn match fusewickUnknownCommand contained "\S\+"

" MOVE and WAIT take an optional count, read as a C integer; what follows the number is ignored.
syn match fusewickCommand contained "\%(Move\|MOVE\|Wait\|WAIT\)\%(\s\|$\)\@="
      \ nextgroup=fusewickDecimal,fusewickOctal,fusewickHex,fusewickIgnored skipwhite
syn match fusewickDecimal contained "[-+]\=[1-9]\d*" nextgroup=fusewickIgnored skipwhite
syn match fusewickOctal contained "[-+]\=0\o*" nextgroup=fusewickIgnored skipwhite
syn match fusewickHex contained "[-+]\=0[xX]\x\+" nextgroup=fusewickIgnored skipwhite

" LEFT, RIGHT, REVERSE and DROP take no count: a number after them is refused, other text ignored.
syn match fusewickCommand contained "\%(Left\|LEFT\|Right\|RIGHT\|Reverse\|REVERSE\|Drop\|DROP\)\%(\s\|$\)\@="
      \ nextgroup=fusewickModifier,fusewickIgnored skipwhite
syn match fusewickModifier contained "[-+]\=\d.*$"

hi def link fusewickComment Comment
hi def link fusewickPlayer Identifier
hi def link fusewickType Type
hi def link fusewickCommand Statement
hi def link fusewickDecimal Number
hi def link fusewickOctal Number
hi def link fusewickHex Number
hi def link fusewickIgnored Comment
hi def link fusewickInvalidLine Error
hi def link fusewickUnknownCommand Error
hi def link fusewickModifier Error

let &cpo = s:cpo_save
unlet s:player s:types s:cpo_save

let b:current_syntax = "fusewick"
