#error stop "here" now
not_reached
