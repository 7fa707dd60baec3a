// End-to-end test folder without config.nut: this file is never run.
print("never printed\n");
