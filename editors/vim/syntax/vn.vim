" Vim syntax file for vorn modules (.vn): the lexical forms of src/front/Lexer.cpp.
if exists("b:current_syntax")
  finish
endif

syn keyword vnConditional if elseif else then
syn keyword vnRepeat for in reverse while do
syn keyword vnStatement break continue return with
syn keyword vnException try catch throw
syn keyword vnStorageClass static virtual abstract inline noinline mutable const volatile
syn keyword vnAccess public private protected qualified
syn keyword vnKeyword class enum alias import macro var get set construct destruct base operator new delete
syn keyword vnConstant true false this

" Capitalised words are types, words starting with _ are macros.
syn match vnType "\<[A-Z][A-Za-z0-9_]*\>"
syn match vnMacro "\<_[A-Za-z0-9_]\+\>"

syn match vnOperator "[`~!@#$%^&*+=<>./?:|\\-]\+"

" Numbers: hexadecimal, binary, octal, decimal with fraction, exponent and C's suffixes.
syn match vnNumber "\<0[xX][0-9a-fA-F]*\%([uU]\%(ll\|LL\|[lL]\)\=\|\%(ll\|LL\|[lL]\)[uU]\=\)\=\>"
syn match vnNumber "\<0[bB][01]*\%([uU]\%(ll\|LL\|[lL]\)\=\|\%(ll\|LL\|[lL]\)[uU]\=\)\=\>"
syn match vnNumber "\<0[oO][0-7]*\%([uU]\%(ll\|LL\|[lL]\)\=\|\%(ll\|LL\|[lL]\)[uU]\=\)\=\>"
syn match vnNumber "\%(\<[0-9]\+\%(\.[0-9]\+\)\=\|\%([A-Za-z0-9_.]\)\@<!\.[0-9]\+\)\%([eE][+-]\=[0-9]\+\)\=\%([fF]L\=\|L\|[uU]\%(ll\|LL\|[lL]\)\=\|\%(ll\|LL\|[lL]\)[uU]\=\)\=\>"

" Strings with their prefixes (A narrow, U wide, 8 UTF-8); a string may run over lines.
syn match vnEscape "\\." contained
syn region vnString matchgroup=vnString start=+"+ skip=+\\\\\|\\"+ end=+"+ contains=vnEscape
syn region vnString matchgroup=vnStringPrefix start=+\<[AU8]"+ skip=+\\\\\|\\"+ end=+"+ contains=vnEscape
syn region vnCharacter start=+\%(\<[AU8]\)\='+ skip=+\\\\\|\\'+ end=+'+ end=+$+ oneline contains=vnEscape

" Comments: to the line end, /* */, and /+ +/, which nests.
syn keyword vnTodo TODO FIXME XXX contained
syn match vnLineComment "//.*$" contains=vnTodo
syn region vnBlockComment start="/\*" end="\*/" contains=vnTodo
syn region vnNestedComment start="/+" end="+/" contains=vnNestedComment,vnTodo

hi def link vnConditional Conditional
hi def link vnRepeat Repeat
hi def link vnStatement Statement
hi def link vnException Exception
hi def link vnStorageClass StorageClass
hi def link vnAccess StorageClass
hi def link vnKeyword Keyword
hi def link vnConstant Constant
hi def link vnType Type
hi def link vnMacro Macro
hi def link vnOperator Operator
hi def link vnNumber Number
hi def link vnString String
hi def link vnStringPrefix StorageClass
hi def link vnCharacter Character
hi def link vnEscape SpecialChar
hi def link vnTodo Todo
hi def link vnLineComment Comment
hi def link vnBlockComment Comment
hi def link vnNestedComment Comment

let b:current_syntax = "vn"
