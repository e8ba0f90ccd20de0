" Checks editors/vim in Vim's own syntax engine: a team file opened from disk gets filetype fusewick, and every
" column of every case line gets the highlight group that its paint letter names. Run by vim_syntax_test.sh with
" g:work set to a scratch folder; writes result.txt there and quits with an error code when a case fails.
"
" Paint letters: C comment, P player, T type, K command, D decimal, O octal, H hexadecimal, I ignored text,
" E refused line, U unknown command, M count on a command that takes none, blank: no group.
let s:groups = {'C': 'fusewickComment', 'P': 'fusewickPlayer', 'T': 'fusewickType', 'K': 'fusewickCommand',
      \ 'D': 'fusewickDecimal', 'O': 'fusewickOctal', 'H': 'fusewickHex', 'I': 'fusewickIgnored',
      \ 'E': 'fusewickInvalidLine', 'U': 'fusewickUnknownCommand', 'M': 'fusewickModifier', ' ': ''}

let s:cases = [
      \ ['# a comment, P1.MOVE 3 included',
      \  'CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC'],
      \ ['P1 CAPTAIN',
      \  'PP TTTTTTT'],
      \ ['P2 Ghost the scout',
      \  'PP TTTTT IIIIIIIII'],
      \ ['P3HULK',
      \  'PPTTTT'],
      \ ['P 04   Safety',
      \  'PPPP   TTTTTT'],
      \ ['P1 captain',
      \  'EEEEEEEEEE'],
      \ ['P1 CAPTAINS',
      \  'EEEEEEEEEEE'],
      \ ['P1 .MOVE',
      \  'EEEEEEEE'],
      \ ['P1.MOVE 3',
      \  'PPPKKKK D'],
      \ ['P1.Move 0x1F steps',
      \  'PPPKKKK HHHH IIIII'],
      \ ['P2.WAIT 010',
      \  'PPPKKKK OOO'],
      \ ['P2.Wait 08',
      \  'PPPKKKK OI'],
      \ ['P3.MOVE -1',
      \  'PPPKKKK DD'],
      \ ['P4.WAIT # 3',
      \  'PPPKKKK III'],
      \ ['P4.MOVE',
      \  'PPPKKKK'],
      \ ['P1. DROP',
      \  'PPP KKKK'],
      \ ['P 2.LEFT',
      \  'PPPPKKKK'],
      \ ['P0x4.Reverse',
      \  'PPPPPKKKKKKK'],
      \ ['P+1.Right now',
      \  'PPPPKKKKK III'],
      \ ['P1.DROP 3',
      \  'PPPKKKK M'],
      \ ['P1.Left +2 times',
      \  'PPPKKKK MMMMMMMM'],
      \ ['P1.DROP x3',
      \  'PPPKKKK II'],
      \ ['P1.move 2',
      \  'PPPUUUU  '],
      \ ['P1.MOVE3',
      \  'PPPUUUUU'],
      \ ['P1.Jump',
      \  'PPPUUUU'],
      \ ['P1 MOVE 2',
      \  'EEEEEEEEE'],
      \ ['  P1.MOVE 2',
      \  'EEEEEEEEEEE'],
      \ ['   ',
      \  'EEE'],
      \ ['P5.MOVE',
      \  'EEEEEEE'],
      \ ['P0.DROP',
      \  'EEEEEEE'],
      \ ['P10.DROP',
      \  'EEEEEEEE'],
      \ ['P-1.DROP',
      \  'EEEEEEEE'],
      \ ['P1.',
      \  'EEE'],
      \ ['MOVE 3',
      \  'EEEEEE'],
      \ ['',
      \  ''],
      \ ]

let s:failures = []
let s:file = g:work . '/sample.fpl'
call writefile(map(copy(s:cases), 'v:val[0]'), s:file)
filetype on
syntax on
execute 'edit ' . fnameescape(s:file)
if &filetype !=# 'fusewick'
  call add(s:failures, 'a *.fpl file opens with filetype "' . &filetype . '", not "fusewick"')
endif

let s:lnum = 0
for [s:text, s:paint] in s:cases
  let s:lnum += 1
  if strlen(s:paint) != strlen(s:text)
    call add(s:failures, printf('line %d %s: paint and text differ in length', s:lnum, string(s:text)))
    continue
  endif
  for s:col in range(1, strlen(s:text))
    let s:want = s:groups[s:paint[s:col - 1]]
    let s:got = synIDattr(synID(s:lnum, s:col, 1), 'name')
    if s:got !=# s:want
      call add(s:failures, printf('line %d %s, column %d: %s, expected %s', s:lnum, string(s:text), s:col,
            \ s:got ==# '' ? 'no group' : s:got, s:want ==# '' ? 'no group' : s:want))
    endif
  endfor
endfor

let s:total = len(s:cases)
call writefile(s:failures + [printf('vim syntax: %d cases, %d failures', s:total, len(s:failures))],
      \ g:work . '/result.txt')
if empty(s:failures)
  qall!
endif
cquit!
