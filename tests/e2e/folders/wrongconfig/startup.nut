print("world height " + cpp_GetWorldSizeY() + "\n");
