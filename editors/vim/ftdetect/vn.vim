" .vn files are vorn modules.
autocmd BufRead,BufNewFile *.vn setfiletype vn
