// End-to-end test folder: a character whose catch callback opens an error box.
cfg_AppName <- "E2E Catcher";
cfg_StartupScript <- "startup.nut";
cfg_WindowMaskWidthScale <- 0.5;
cfg_WindowMaskHeightScale <- 0.5;
cfg_WorldSizeY <- 5.0;
