print("never printed\n");
local x = ;
