" Checks editors/vim on sample.vn: the file type, the groups at some places, no error while loading.
" Writes what differs to $VIMCHECK_OUT (empty when all is well).
let s:out = []
if &filetype !=# 'vn' | call add(s:out, 'filetype is ' . &filetype) | endif
for [s:line, s:col, s:group] in [[1, 1, 'vnKeyword'], [1, 8, 'vnType'], [2, 14, 'vnAccess'], [3, 13, 'vnNumber'], [3, 21, 'vnNumber'], [3, 30, 'vnNumber'], [4, 10, 'vnStringPrefix'], [4, 13, 'vnString'], [4, 16, 'vnEscape'], [4, 21, 'vnLineComment'], [5, 14, 'vnNestedComment'], [5, 25, 'vnNestedComment'], [5, 31, 'vnType'], [6, 6, 'vnMacro']]
  let s:name = synIDattr(synID(s:line, s:col, 1), 'name')
  if s:name !=# s:group | call add(s:out, s:line . ':' . s:col . ' is ' . s:name . ', expected ' . s:group) | endif
endfor
if v:errmsg !=# '' | call add(s:out, 'error: ' . v:errmsg) | endif
call writefile(s:out, $VIMCHECK_OUT)
qa!
