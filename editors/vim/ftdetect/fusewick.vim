" Fusewick team files.
autocmd BufRead,BufNewFile *.fpl setfiletype fusewick
