// End-to-end test folder: script items in the pop-up menu.
cfg_AppName <- "E2E Mascot";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.25;
cfg_WindowMaskHeightScale <- 0.25;
