print("startup: hello\n");
