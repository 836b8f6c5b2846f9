CREATE TABLE [dbo].[T] ([Id] int IDENTITY(1,1) NOT NULL, CONSTRAINT [PK] PRIMARY KEY CLUSTERED ([Id]))
GO
ALTER TABLE [dbo].[T] WITH CHECK ADD CONSTRAINT [FK] FOREIGN KEY([Id]) REFERENCES [dbo].[T] ([Id])
GO
EXEC sys.sp_addextendedproperty @name=N'MS_Description', @value=N'x', @level0type=N'SCHEMA', @level0name=N'dbo', @level1type=N'TABLE', @level1name=N'T'
GO
