/* Adjacent double-quoted literals reach the parser as one; character literals never join. */
"ab" "cd" 'x' 'y' "e"
"f"
#define GREETING "hello, " "world"
GREETING L"wide"
